// The chart's picture, from its own context menu: saved as a PNG file in the
// log folder, or copied to the clipboard.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QImageReader>
#include <QMenu>
#include <QTimer>
#include <filesystem>

#include "app/main_window.h"
#include "chart_test_support.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"

namespace varno::testing {
namespace {

class ChartImageTest : public ChartTest {
protected:
    void SetUp() override
    {
        ChartTest::SetUp();
        clock.set(2024, 3, 5, 14, 7, 9);
        window->clock = &clock;
        window->workingDirectory = folder.path();
        // A larger window than the template's, with points and keys on the chart.
        window->resize(1024, 768);
        for (int i = 0; i < 60; ++i)
            postReader(i % 2 == 0 ? "0A1B2C" : "0C4410", 125 + (i * 11) % 50);
    }

    // Right-clicks the chart and picks the menu's entry `entry`; `whileModal`
    // runs once the window that entry opens (if any) is up. Returns the
    // entries the menu offered.
    QStringList chooseFromChartMenu(int entry, std::function<void()> whileModal = {})
    {
        QStringList entries;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions())
                entries << a->text();
            if (whileModal)
                QTimer::singleShot(50, whileModal);
            menu->actions().at(entry)->trigger();
            menu->close();
        });
        const QPoint at(200, 100);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, chart().mapToGlobal(at));
        QApplication::sendEvent(&chart(), &event);
        processEvents();
        return entries;
    }

    QImage picture() { return chart().composedImage().copy(); }

    TestClock clock;
    TempDir folder;
};

const QStringList kEntries = {QString::fromUtf8("Enregistrer l'image…"), QStringLiteral("Copier l'image")};

TEST_F(ChartImageTest, SavedAsAPngOfTheChartsSizeInTheLogFolder)
{
    const std::string expectedPath = folder.file("VARNO_05032024_14h07m09.png");
    const QImage shown = picture();
    // The chart's client area in a 1024 × 768 window: all it adds to the smallest.
    ASSERT_EQ(shown.size(), QSize(552, 280) + (QSize(1024, 768) - window->minimumSize()));

    // Cancelled: nothing is written.
    QString offered;
    EXPECT_EQ(chooseFromChartMenu(0, [&] {
                  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                  ASSERT_NE(dialog, nullptr);
                  offered = dialog->selectedFiles().value(0);
                  dialog->reject();
              }),
              kEntries);
    EXPECT_EQ(offered.toStdString(), expectedPath);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));

    // Accepted: the picture as it was when asked for, as a PNG file.
    chooseFromChartMenu(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        postReader("0A1B2C", 150);  // the chart goes on while the dialog is up
        static_cast<QDialog*>(dialog)->accept();  // as its "Enregistrer" button does
    });
    QImageReader reader(QString::fromStdString(expectedPath));
    EXPECT_EQ(reader.format(), "png");
    const QImage saved = reader.read();
    EXPECT_EQ(saved.size(), shown.size());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), shown);
    EXPECT_NE(picture(), shown);
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(ChartImageTest, CopiedToTheClipboard)
{
    QGuiApplication::clipboard()->clear();
    const QImage shown = picture();
    EXPECT_EQ(chooseFromChartMenu(1), kEntries);
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(chart().clientWidth, chart().clientHeight));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), shown);
}

TEST_F(ChartImageTest, AFailedSaveSaysWhyAndLeavesNoFile)
{
    const QString missing = QString::fromStdString(folder.file("absent/chart.png"));
    EXPECT_FALSE(window->SaveChartImage(picture(), missing));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text,
              QString::fromUtf8("Impossible d'enregistrer l'image.\n%1 : fichier ou périphérique introuvable").arg(missing));

    // A folder where the file should be: nothing is left behind either.
    const QString folderPath = QString::fromStdString(folder.path());
    EXPECT_FALSE(window->SaveChartImage(picture(), folderPath));
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_TRUE(alerts.shown[1].text.endsWith(QString::fromUtf8(" : c'est un dossier")));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
}  // namespace varno::testing
