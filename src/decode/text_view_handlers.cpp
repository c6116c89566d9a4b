// The coloured event text view of raw text mode.

#include <QColor>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "app/main_window.h"
#include "log/clock.h"
#include "ui/qt_text.h"

namespace varno::app {

namespace {

// At this many lines the view drops its older half, so appending and scrolling
// stay cheap however long the program runs.
constexpr int kLineLimit = 1024;

constexpr std::uint32_t kStampColour = 0x7F7F7F;
constexpr std::uint32_t kFrameColour = 0x000000;

QColor fromColorRef(std::uint32_t colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

// A frame is shown on its one line whatever bytes the stream put in it: the
// control characters (line feed and carriage return among them, which would
// start a new line) appear as their visible symbols.
QString frameForView(const std::string& frame)
{
    QString text = ui::fromCp1252(frame);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t')
            c = QChar(static_cast<char16_t>(0x2400 + u));
        else if (u == 0x7F)
            c = QChar(u'\u2421');
    }
    return text;
}

void appendToView(CVARNODlg& window, const QString& text, std::uint32_t colour, int clearFirst, int lineBreak)
{
    QTextDocument* document = window.textView->document();
    if (clearFirst == 1) {
        QTextCursor all(document);
        all.select(QTextCursor::Document);
        all.removeSelectedText();
        window.textLineLength = 0;
    }

    const int lines = document->blockCount();
    if (lines >= kLineLimit) {
        QTextCursor older(document);
        older.setPosition(document->findBlockByNumber(lines / 2).position(), QTextCursor::KeepAnchor);
        older.removeSelectedText();
        window.textLineLength = 0;
    }

    QString inserted = text;
    const int length = static_cast<int>(text.size());
    if (lineBreak == 1) {
        inserted += u'\n';
        window.textLineLength = 0;
    } else if (!text.isEmpty() && text.contains(u'\n')) {
        window.textLineLength = 0;
    } else if (window.textLineLength + length > window.textLineWidth) {
        inserted += u'\n';
        window.textLineLength = 0;
    } else {
        window.textLineLength += length;
    }

    // Only the colour: the text goes in as plain characters, never as markup.
    QTextCharFormat format;
    format.setForeground(fromColorRef(colour));
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    end.insertText(inserted, format);
}

// Keep the newest line in sight.
void scrollToNewest(QTextEdit* view)
{
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
}

}  // namespace

void CVARNODlg::AppendText(const std::string& text, std::uint32_t colour, int clearFirst, int lineBreak)
{
    appendToView(*this, ui::fromCp1252(text), colour, clearFirst, lineBreak);
    scrollToNewest(textView);
}

void CVARNODlg::EchoFrame(std::int64_t time, const std::string& text)
{
    const std::string stamp = log::formatLocalTime(*clock, time, "%H:%M:%S") + " > ";
    // Both halves of the line in one edit: the view lays the line out once.
    QTextCursor edit(textView->document());
    edit.beginEditBlock();
    appendToView(*this, ui::fromCp1252(stamp), kStampColour, 0, 0);
    appendToView(*this, frameForView(text), kFrameColour, 0, 1);
    edit.endEditBlock();
    scrollToNewest(textView);
}

}  // namespace varno::app
