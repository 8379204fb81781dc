#include "display/view/print_image.h"
#include "platform/clock.h"
#include "tests/display/view/view_test_support.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

namespace zentra {
namespace {

QImage Checkerboard(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, (x + y) % 2 ? 255 : 0));
    return image;
}

// Acts on the modal dialog of type D once the event loop shows it; closes any other.
template <class D, class Act> void OnModal(Act act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<D*>(modal))
            act(*dialog);
        else if (modal)
            modal->close();
    });
}

struct Printing : ::testing::Test {
    test::ScopedUserFolders folders;
    platform::ManualClock clock{test::kDemoNow};
    test::DemoView demo{800, 600};
    test::TempDir dir;

    // Points the printer at a PDF file; returns the file's name.
    static QString ToPdf(QPrinter& printer, const std::string& path) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(path));
        return printer.outputFileName();
    }
    // A PDF of one picture is written whole: more than its header and trailer.
    static void ExpectPdfWritten(const QString& pdf) {
        ASSERT_TRUE(QFile::exists(pdf)) << pdf.toStdString();
        EXPECT_GT(QFile(pdf).size(), 2000);
    }
};

TEST(PrintDestination, FullPageWidthThreeQuartersOfAnInchShorter) {
    // 800 x 600 picture on a 600-dpi page 4800 pixels wide: 3600 high by its aspect,
    // less 450 pixels.
    EXPECT_EQ(PrintDestination(800, 600, 4800, 600, 600), (Rect{0, 0, 4800, 3150}));
    // Pixels twice as tall as wide: the aspect is kept in inches, not pixels.
    EXPECT_EQ(PrintDestination(800, 600, 4800, 300, 600), (Rect{0, 0, 4800, 6750}));
    // Truncated: 1000 x 333 at 96 dpi on 794 pixels: 264.402 - 72 = 192.4.
    EXPECT_EQ(PrintDestination(1000, 333, 794, 96, 96), (Rect{0, 0, 794, 192}));
    EXPECT_EQ(PrintDestination(0, 600, 4800, 600, 600), (Rect{}));
    EXPECT_EQ(PrintDestination(800, 600, 4800, 0, 600), (Rect{}));
    EXPECT_EQ(PrintDestination(4000, 10, 800, 96, 96).Height(), 0); // never negative
}

TEST(PrintImage, CaptureCopiesTheWindowPictureFromItsOrigin) {
    const QImage source = Checkerboard(100, 50);
    PrintImage image;
    ASSERT_TRUE(CapturePrintImage(source, image, 0, 0, 100, 50));
    EXPECT_EQ(image.image.size(), QSize(100, 50));
    EXPECT_EQ(image.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.image, source);
    ASSERT_TRUE(CapturePrintImage(source, image, 10, 10, 40, 30));
    EXPECT_EQ(image.image, source.copy(0, 0, 30, 20));
    EXPECT_FALSE(CapturePrintImage(source, image, 0, 0, 0, 50));
    EXPECT_TRUE(image.Empty());
    EXPECT_FALSE(CapturePrintImage(QImage(), image, 0, 0, 10, 10));
    image.Release();
    EXPECT_TRUE(image.Empty());
}

TEST(PrintImage, DrawnUnscaledWhenTheSizesMatchElseStretched) {
    const QImage source = Checkerboard(40, 30);
    PrintImage image;
    ASSERT_TRUE(CapturePrintImage(source, image, 0, 0, 40, 30));

    QImage target(100, 100, QImage::Format_RGB32);
    const auto draw = [&](const Rect& to, const PrintImage& what) {
        target.fill(Qt::white);
        QPainter painter(&target);
        return DrawPrintImage(painter, {0, 0, 40, 30}, to, what);
    };
    EXPECT_EQ(draw({5, 7, 45, 37}, image), 30);
    EXPECT_EQ(target.copy(5, 7, 40, 30), source);
    EXPECT_EQ(target.pixel(4, 7), qRgb(255, 255, 255));

    draw({0, 0, 80, 60}, image);
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 40; x += 9)
            EXPECT_EQ(target.pixel(2 * x + 1, 2 * y + 1), source.pixel(x, y)) << x << "," << y;
    EXPECT_EQ(draw({0, 0, 40, 30}, PrintImage{}), 0);
}

TEST_F(Printing, PdfPageShowsTheWindowPicture) {
    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = ToPdf(printer, dir.File("view.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(demo.view->PrintTo(printer).ok);
    EXPECT_TRUE(demo.view->CurrentPrintImage().Empty()); // released at the end
    ExpectPdfWritten(pdf);

    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed: the PDF was not rendered";
    const QString stem = QString::fromStdString(test::ScreenshotDir() + "/view_print_pdf");
    QProcess render;
    render.start(pdftoppm, {"-png", "-r", "60", "-singlefile", pdf, stem});
    ASSERT_TRUE(render.waitForFinished(30000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QImage page(stem + ".png");
    ASSERT_FALSE(page.isNull());
    EXPECT_LT(page.width(), page.height()); // portrait A4
    // The picture's background covers most of the page width near the top; under the
    // picture the page stays white.
    int background = 0, white = 0;
    for (int x = 0; x < page.width(); ++x) {
        const QColor c(page.pixel(x, page.height() / 10));
        if (std::abs(c.red() - 250) <= 2 && std::abs(c.green() - 250) <= 2 && c.blue() >= 253)
            ++background;
        white += QColor(page.pixel(x, page.height() - 3)) == QColor(Qt::white) ? 1 : 0;
    }
    EXPECT_GT(background, page.width() / 2);
    EXPECT_GT(white, page.width() * 9 / 10);
}

TEST_F(Printing, ThroughThePrintDialogToAPdfFile) {
    const QString pdf = QString::fromStdString(dir.File("dialog.pdf"));
    bool answered = false;
    // The user picks "Print to File (PDF)", types a file name and presses Print.
    OnModal<QPrintDialog>([&](QPrintDialog& dialog) {
        if (auto* printers = dialog.findChild<QComboBox*>("printers"))
            printers->setCurrentIndex(printers->findText("Print to File (PDF)"));
        if (auto* name = dialog.findChild<QLineEdit*>("filename"))
            name->setText(pdf);
        answered = true;
        dialog.accept();
    });
    demo.view->OnCommand(57607);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(demo.view->CurrentPrintImage().Empty());
    ExpectPdfWritten(pdf);
}

// The page size a PDF declares: width and height in points, from its media box.
QSizeF PdfPageSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
    const QRegularExpressionMatch match = box.match(text);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

TEST_F(Printing, APrintThatCannotBeginSaysWhy) {
    test::ScriptedMessages messages;
    const std::string missing = dir.File("no/such/folder/page.pdf");
    QPrinter printer(QPrinter::HighResolution);
    ToPdf(printer, missing);
    const PrintResult result = demo.view->PrintTo(printer);
    EXPECT_FALSE(result);
    EXPECT_NE(result.error.find(missing), std::string::npos) << result.error;
    EXPECT_TRUE(demo.view->CurrentPrintImage().Empty());

    // Through the commands the reason reaches the user instead of nothing at all.
    QPrinter& kept = demo.view->Printer();
    ToPdf(kept, missing);
    demo.view->OnCommand(57608); // direct print
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.LastText(), "Cannot print to the file " + missing +
                                       ": it cannot be created (check the folder and its "
                                       "permissions).");
    EXPECT_EQ(messages.shown().back().icon, platform::MessageIcon::Error);

    kept.setOutputFileName(QString());
    demo.view->OnCommand(57608);
    ASSERT_EQ(messages.shown().size(), 2u);
    EXPECT_NE(messages.LastText().find("no printer is set up"), std::string::npos)
        << messages.LastText();
}

TEST_F(Printing, PrintSetupIsKeptForTheNextPrintAndPreview) {
    bool setUp = false;
    OnModal<QPageSetupDialog>([&](QPageSetupDialog& dialog) {
        // The user turns the page to landscape and presses OK.
        if (auto* landscape = dialog.findChild<QRadioButton*>("landscape")) {
            landscape->click();
            setUp = true;
        }
        dialog.accept();
    });
    demo.view->OnCommand(57606);
    ASSERT_TRUE(setUp);
    EXPECT_EQ(demo.view->Printer().pageLayout().orientation(), QPageLayout::Landscape);

    QPageLayout::Orientation previewed = QPageLayout::Portrait;
    OnModal<QPrintPreviewDialog>([&](QPrintPreviewDialog& dialog) {
        previewed = dialog.printer()->pageLayout().orientation();
        dialog.reject();
    });
    demo.view->OnCommand(57609);
    EXPECT_EQ(previewed, QPageLayout::Landscape);

    const QString pdf = ToPdf(demo.view->Printer(), dir.File("landscape.pdf"));
    demo.view->OnCommand(57608);
    const QSizeF page = PdfPageSize(pdf);
    ASSERT_FALSE(page.isEmpty());
    EXPECT_GT(page.width(), page.height());
}

TEST_F(Printing, PreviewRendersOnePageAndReleasesTheImage) {
    int pages = -1;
    OnModal<QPrintPreviewDialog>([&](QPrintPreviewDialog& dialog) {
        if (auto* preview = dialog.findChild<QPrintPreviewWidget*>())
            pages = preview->pageCount();
        dialog.reject();
    });
    demo.view->OnCommand(57609);
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(demo.view->CurrentPrintImage().Empty());
}

} // namespace
} // namespace zentra
