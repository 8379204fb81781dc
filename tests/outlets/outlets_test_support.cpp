#include "tests/outlets/outlets_test_support.h"

#include <httplib.h>
#include <mosquitto.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zentra::test {

using namespace std::chrono_literals;

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

namespace {

pid_t Spawn(const std::vector<std::string>& args, int outFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (outFd >= 0)
            dup2(outFd, STDOUT_FILENO);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        if (outFd < 0)
            dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

bool Accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string>& args, std::chrono::seconds limit) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t pid = Spawn(args, pipeFds[1]);
    close(pipeFds[1]);
    ProgramResult result;
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool ended = false;
    while (std::chrono::steady_clock::now() < until) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
                result.output.append(buffer, static_cast<std::size_t>(n));
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    close(pipeFds[0]);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return result;
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

Broker::Broker(std::string folder) : folder_(std::move(folder)), port_(FreePort()) {
    const std::string passwords = folder_ + "/passwords";
    RunProgram({"mosquitto_passwd", "-b", "-c", passwords, kUser, kPassword}, 20s);
    std::ofstream conf(folder_ + "/mosquitto.conf");
    conf << "listener " << port_ << " 127.0.0.1\n"
         << "allow_anonymous false\n"
         << "password_file " << passwords << "\n"
         << "persistence false\n"
         // Started as root the broker would become the user "mosquitto", who cannot
         // read the test's private folder.
         << "user " << (getpwuid(getuid()) ? getpwuid(getuid())->pw_name : "root") << "\n";
}

Broker::~Broker() {
    Kill();
}

bool Broker::Start() {
    Kill();
    // Debian installs the broker in /usr/sbin, often not on a user's PATH.
    const std::string program = access("/usr/sbin/mosquitto", X_OK) == 0 ? "/usr/sbin/mosquitto"
                                                                          : "mosquitto";
    pid_ = Spawn({program, "-c", folder_ + "/mosquitto.conf"}, -1);
    return Eventually([this] { return Accepts(port_); }, 10s);
}

void Broker::Kill() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string Broker::Url(const std::string& prefix, const char* user) const {
    return "mqtt://" + std::string(user ? std::string(user) + "@" : "") + "127.0.0.1:" +
           std::to_string(port_) + "/" + prefix;
}

namespace {
void OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
    static_cast<Subscriber*>(self)->Add(
        {m->topic, std::string(static_cast<const char*>(m->payload),
                               static_cast<std::size_t>(m->payloadlen)),
         m->retain});
}
void OnConnect(mosquitto* mosq, void*, int rc) {
    if (rc == 0)
        mosquitto_subscribe(mosq, nullptr, "#", 1);
}
} // namespace

Subscriber::Subscriber(int port) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_username_pw_set(mosq_, Broker::kUser, Broker::kPassword);
    mosquitto_message_callback_set(mosq_, OnMessage);
    mosquitto_connect_callback_set(mosq_, OnConnect);
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS ||
        mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
}

Subscriber::~Subscriber() {
    if (!mosq_)
        return;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void Subscriber::Add(MqttMessage message) {
    {
        const std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
    }
    arrived_.notify_all();
}

std::vector<MqttMessage> Subscriber::Messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t Subscriber::CountOn(const std::string& topic) const {
    const std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const MqttMessage& m : messages_)
        n += m.topic == topic ? 1 : 0;
    return n;
}

std::optional<MqttMessage> Subscriber::WaitFor(
    const std::string& topic, std::chrono::milliseconds limit,
    const std::function<bool(const MqttMessage&)>& accept) {
    std::unique_lock lock(mutex_);
    std::optional<MqttMessage> found;
    arrived_.wait_for(lock, limit, [&] {
        for (auto it = messages_.rbegin(); it != messages_.rend(); ++it)
            if (it->topic == topic && (!accept || accept(*it))) {
                found = *it;
                return true;
            }
        return false;
    });
    return found;
}

HttpResult HttpGet(int port, const std::string& path, const std::string& method) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(5, 0);
    httplib::Result r = method == "POST"     ? client.Post(path.c_str(), "x", "text/plain")
                        : method == "DELETE" ? client.Delete(path.c_str())
                        : method == "HEAD"   ? client.Head(path.c_str())
                                             : client.Get(path.c_str());
    if (!r)
        return {};
    return {r->status, r->body, r->get_header_value("Content-Type")};
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

} // namespace zentra::test
