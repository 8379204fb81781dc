// Where a drawn graph puts its texts: the time band under the plot, the Y labels left
// of the axis, the legend band over the plot, the graph number and the mode caption.
// The texts are caught as the painter lays them out (a recording paint device), and
// the legend is also found in the painted pixels.
#include "graph_test_support.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QTextItem>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace zentra {
namespace {

struct DrawnText {
    std::string text;
    double left, right, top, bottom; // of the laid-out line: baseline - ascent .. + descent
    QColor colour;
};

// Keeps every text item the painter hands over; everything else is dropped.
class TextRecorder final : public QPaintEngine {
  public:
    // Every feature, so that the painter hands text over as text, never as paths.
    TextRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    std::vector<DrawnText> texts;
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & QPaintEngine::DirtyPen)
            pen_ = state.pen().color();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawLines(const QLineF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({item.text().toStdString(), p.x(), p.x() + item.width(),
                         p.y() - item.ascent(), p.y() + item.descent(), pen_});
    }
    Type type() const override { return QPaintEngine::User; }

  private:
    QColor pen_;
};

// An image (for its size and resolution) whose painting goes to the recorder.
class RecordingDevice final : public QImage {
  public:
    RecordingDevice(int width, int height) : QImage(width, height, QImage::Format_RGB32) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    TextRecorder& recorder() const { return engine_; }

  private:
    mutable TextRecorder engine_;
};

using test::kNow;

// The shared graph (x0 40, y0 260, W 320, H 220) has cell height C 300 and text scale
// T 600, so the label font height fh = trunc(300 x 0.04) = 12.
class GraphText : public test::GraphFixture {
  protected:
    void SetUp() override {
        GraphFixture::SetUp();
        graph.m_CentreZero = 0;
    }
    std::vector<DrawnText> Texts() {
        RecordingDevice device(800, 600);
        {
            QPainter painter(&device);
            DrawGraph(painter, *doc, 0, geometry);
        }
        return device.recorder().texts;
    }

  public:
    static const DrawnText* Find(const std::vector<DrawnText>& texts, const std::string& text,
                                 int nth = 0) {
        for (const DrawnText& t : texts)
            if (t.text == text && nth-- == 0)
                return &t;
        return nullptr;
    }
};

constexpr double kSlack = 1.5; // rounding of the laid-out line, in pixels

TEST_F(GraphText, YLabelsRightAlignedOnTheirDivisionLines) {
    const auto texts = Texts();
    // Zero on y0 = 260; ten divisions of 22 pixels up to 500 at the top.
    for (int i = 0; i <= 10; ++i) {
        const std::string label = std::to_string(50 * i);
        const DrawnText* t = Find(texts, label, label == "0" ? 1 : 0); // "0" of the band first
        ASSERT_NE(t, nullptr) << label;
        EXPECT_NEAR(t->right, 35, kSlack) << label; // rectangle x0 - 100 .. x0 - 5
        EXPECT_NEAR(t->bottom, 260 - 22 * i, kSlack) << label;
        EXPECT_LE(t->bottom - t->top, 12 + kSlack) << label;
    }
}

TEST_F(GraphText, CentreZeroLabelsPairAroundTheMiddle) {
    graph.m_CentreZero = 1;
    const auto texts = Texts();
    // Zero on trunc(260 - 110) = 150; pair k = 2m: yu = trunc(150 - 11k), yl = yu + 22k.
    const DrawnText* zero = Find(texts, "0", 1);
    ASSERT_NE(zero, nullptr);
    EXPECT_NEAR(zero->bottom, 150, kSlack);
    for (int m = 1; m <= 5; ++m) {
        const int k = 2 * m;
        const std::string value = std::to_string(50 * k);
        const DrawnText* upper = Find(texts, value);
        const DrawnText* lower = Find(texts, "-" + value);
        ASSERT_NE(upper, nullptr) << value;
        ASSERT_NE(lower, nullptr) << value;
        EXPECT_NEAR(upper->bottom, 150 - 11 * k, kSlack) << value;
        EXPECT_NEAR(lower->bottom, 150 - 11 * k + 22 * k, kSlack) << value;
        EXPECT_NEAR(lower->right, 35, kSlack) << value;
    }
}

// The time band: x 40 .. 360, y 260 + trunc(2.2) = 262 .. 260 + trunc(17.6) = 277; the
// start text at its left, the end text at its right, the caption centred.
void ExpectTimeBand(const std::vector<DrawnText>& texts, const std::string& startText,
                    const std::string& endText, const std::string& captionText) {
    const DrawnText* start = GraphText::Find(texts, startText);
    const DrawnText* end = GraphText::Find(texts, endText);
    const DrawnText* caption = GraphText::Find(texts, captionText);
    ASSERT_NE(start, nullptr) << startText;
    ASSERT_NE(end, nullptr) << endText;
    ASSERT_NE(caption, nullptr) << captionText;
    EXPECT_NEAR(start->left, 40, kSlack);
    EXPECT_NEAR(end->right, 360, kSlack);
    EXPECT_NEAR((caption->left + caption->right) / 2, 200, kSlack);
    for (const DrawnText* t : {end, start, caption}) {
        EXPECT_NEAR(t->top, 262, kSlack) << t->text;
        EXPECT_LE(t->bottom, 277 + kSlack) << t->text;
    }
}

TEST_F(GraphText, LogTimeBandUnderThePlot) {
    doc->m_Period = 5;
    doc->m_PeriodMultiplier = 60;
    doc->m_Finished = 1;
    doc->m_LoggingEndTime = kNow;
    doc->m_SampleCount = 12;
    for (std::size_t n = 0; n < 12; ++n) // the last sample at the end of logging
        doc->m_SampleTimes[n] = kNow - 300 * (11 - static_cast<std::int64_t>(n));
    const auto texts = Texts();
    // One division is 300 s, ten of them 50 minutes back from the end of logging.
    ExpectTimeBand(texts, "<13:13:09", "14:03:09>", "Jan 05 2013  (300 sec/div)");
    // The start text stands alone at the left end: no "0" under its "<".
    for (const DrawnText& t : texts)
        EXPECT_FALSE(t.text == "0" && std::abs(t.left - 40) < kSlack) << t.top;

    // Nothing logged: the band's left end shows "0", and no time.
    doc->m_SampleCount = 0;
    const auto empty = Texts();
    const DrawnText* zero = Find(empty, "0");
    ASSERT_NE(zero, nullptr);
    EXPECT_NEAR(zero->left, 40, kSlack);
    EXPECT_NEAR(zero->top, 262, kSlack);
    for (const DrawnText& t : empty)
        EXPECT_FALSE(t.text.starts_with('<')) << t.text;
}

TEST_F(GraphText, LiveTimeBandCountsOneSecondADivision) {
    graph.m_RealTime = 1;
    doc->m_Comms.portSetUp = 1;
    const auto texts = Texts();
    ExpectTimeBand(texts, "<14:02:59", "14:03:09>", "Jan 05 2013  (1 sec/div)");
    // Ten spaces stand where the log caption would be.
    EXPECT_EQ(Find(texts, "(log screen)"), nullptr);
}

TEST_F(GraphText, LegendNumberAndModeCaption) {
    const auto texts = Texts();
    // Legend band: top = trunc(260 - 220 - 1800 / 100) = 22, one item centred at W / 2.
    const DrawnText* legend = Find(texts, "V 1");
    ASSERT_NE(legend, nullptr);
    EXPECT_NEAR((legend->left + legend->right) / 2, 40 + 160, kSlack);
    EXPECT_NEAR(legend->top, 22, kSlack);
    EXPECT_LE(legend->bottom, 22 + 12 + kSlack);
    EXPECT_EQ(legend->colour, QColor(255, 0, 0));
    // Graph number "1" in the large font (2 fh = 24) from (20, 2); the caption
    // bottom-aligned in (53, 2) .. (220, 26).
    const DrawnText* number = Find(texts, "1");
    ASSERT_NE(number, nullptr);
    EXPECT_NEAR(number->left, 20, kSlack);
    EXPECT_NEAR(number->top, 2, kSlack);
    EXPECT_GT(number->bottom - number->top, 12 + kSlack);
    const DrawnText* caption = Find(texts, "(log screen)");
    ASSERT_NE(caption, nullptr);
    EXPECT_NEAR(caption->left, 53, kSlack);
    EXPECT_NEAR(caption->bottom, 26, kSlack);

    graph.m_ScrollOffset = -10;
    graph.m_HistoryTime = kNow;
    EXPECT_NE(Find(Texts(), "(log history)"), nullptr);
}

TEST_F(GraphText, EveryYDivisionUpToTheTopHasItsTick) {
    graph.m_TickLengthY = 2.5; // trunc(2.5 x 320) / 100 = 8 pixels from the axis
    const QImage image = test::Paint(*doc, 0, geometry);
    const QColor black(0, 0, 0);
    for (int j = 1; j <= 10; ++j) { // j = 0 lies on the X axis
        const int y = 260 - 22 * j;
        EXPECT_EQ(test::CountColour(image, black, 41, y, 48, y + 1), 7) << "division " << j;
        EXPECT_EQ(test::CountColour(image, black, 49, y, 60, y + 1), 0) << "division " << j;
    }
}

} // namespace
} // namespace zentra
