#include "display/view/project_panel.h"

#include "display/view/view_text.h"
#include "document/zentra_doc.h"
#include "records/calendar.h"

#include <QPainter>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace zentra {
namespace {

template <std::size_t N> std::string FieldText(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), N));
}

std::string DateText(DayNumber day) {
    char text[kDayTextCapacity] = {};
    GetSystemDate::FromDayNumber(day, text);
    return std::string(text, strnlen(text, sizeof text));
}

std::string LoggingStartText(const CZentraDoc& doc) {
    if (doc.m_Locked == 0)
        return kNotActive;
    char clock[64];
    std::snprintf(clock, sizeof clock, "  %.2d:%.2d:%.2d", doc.m_StartHour, doc.m_StartMinute,
                  doc.m_StartSecond);
    return DateText(doc.m_StartDate) + clock;
}

std::string LoggingTimeText(const CZentraDoc& doc) {
    // Both products in seconds; computed wide so values from a file cannot overflow.
    const std::int64_t duration =
        static_cast<std::int64_t>(doc.m_Duration) * doc.m_DurationMultiplier;
    const std::int64_t period = static_cast<std::int64_t>(doc.m_Period) * doc.m_PeriodMultiplier;
    char text[96];
    std::snprintf(text, sizeof text, "Duration: %" PRId64 "(s) Sampling %" PRId64 "(s)", duration,
                  period);
    return text;
}

} // namespace

int PanelFontHeight(int textScale) {
    return static_cast<int>((textScale / 2) * 0.04);
}

std::vector<PanelText> LayoutProjectPanel(const CZentraDoc& doc, const Rect& p, int textScale) {
    const int fh = PanelFontHeight(textScale);
    std::array<int, 4> tops{};
    tops[0] = p.bottom + fh / 3;
    tops[1] = tops[0] + fh + fh / 6;
    tops[2] = tops[1] + fh + fh / 3;
    tops[3] = tops[2] + fh + fh / 6;

    struct Column {
        int from;
        int to;
        std::array<std::string, 4> lines;
    };
    const std::array<Column, 3> columns{{
        {10,
         p.right / 2 - 10,
         {"Project Name:", FieldText(doc.m_ProjectName),
          "Project Description: ", FieldText(doc.m_BriefDescription)}},
        {p.right / 2 + 10,
         p.right,
         {"Project Start Date: ", DateText(doc.m_ProjectStartDate),
          "Project End Date: ", DateText(doc.m_ProjectEndDate)}},
        {p.right / 6 + p.right / 2 + 10,
         p.right,
         {"Logging Started: ", LoggingStartText(doc), "Logging Time: ", LoggingTimeText(doc)}},
    }};

    std::vector<PanelText> texts;
    texts.reserve(12);
    for (const Column& column : columns) {
        for (std::size_t line = 0; line < 4; ++line) {
            texts.push_back({{column.from, tops[line], column.to, tops[line] + fh},
                             line % 2 == 0,
                             column.lines[line]});
        }
    }
    return texts;
}

void DrawProjectPanel(QPainter& painter, const CZentraDoc& doc, const Rect& p, int textScale,
                      int fontWeight) {
    const int fh = PanelFontHeight(textScale);
    const QFont captionFont = CellFont(fh, fontWeight, true);
    const QFont valueFont = CellFont(fh, fontWeight, false);

    painter.save();
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    for (const PanelText& text : LayoutProjectPanel(doc, p, textScale)) {
        painter.setFont(text.caption ? captionFont : valueFont);
        DrawTextLine(painter, text.rect, TextAlign::Left, text.text);
    }
    painter.restore();
}

} // namespace zentra
