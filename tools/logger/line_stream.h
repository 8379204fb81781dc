// An output stream for one thread of a run whose lines go to a stream that other
// threads write too: each whole line is handed over at once under a shared lock, so
// the lines of two links never interleave.
#pragma once

#include <mutex>
#include <ostream>
#include <sstream>
#include <string>

namespace zentra::logger {

class LineStream : public std::ostream {
  public:
    LineStream(std::ostream& target, std::mutex& lock)
        : std::ostream(&buffer_), buffer_(target, lock) {}
    ~LineStream() override { buffer_.pubsync(); }

  private:
    class Buffer : public std::stringbuf {
      public:
        Buffer(std::ostream& target, std::mutex& lock) : target_(target), lock_(lock) {}

      protected:
        int sync() override {
            std::string text = str();
            const auto end = text.rfind('\n');
            if (end == std::string::npos)
                return 0;
            {
                std::lock_guard hold(lock_);
                target_.write(text.data(), static_cast<std::streamsize>(end + 1));
                target_.flush();
            }
            str(text.substr(end + 1));
            return 0;
        }
        int_type overflow(int_type c) override {
            const int_type result = std::stringbuf::overflow(c);
            if (c == '\n')
                sync();
            return result;
        }
        std::streamsize xsputn(const char* s, std::streamsize n) override {
            const std::streamsize result = std::stringbuf::xsputn(s, n);
            if (std::string_view(s, static_cast<std::size_t>(n)).find('\n') !=
                std::string_view::npos)
                sync();
            return result;
        }

      private:
        std::ostream& target_;
        std::mutex& lock_;
    } buffer_;
};

} // namespace zentra::logger
