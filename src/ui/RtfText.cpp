#include "ui/RtfText.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

#include "base/CRtfReader.h"

namespace sondrel {

namespace {

QTextCharFormat CharFormat(const RtfDocument& rtf, const RtfCharFormat& from) {
    QTextCharFormat format;
    if (from.font >= 0)
        format.setFontFamilies({QString::fromStdString(rtf.fonts[from.font].name)});
    format.setFontPointSize(from.halfPoints / 2.0);
    format.setFontWeight(from.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(from.italic);
    format.setFontUnderline(from.underline);
    if (from.colour)
        format.setForeground(QColor(from.colour->red, from.colour->green, from.colour->blue));
    return format;
}

Qt::Alignment Alignment(RtfAlign align) {
    switch (align) {
        case RtfAlign::Right:
            return Qt::AlignRight;
        case RtfAlign::Centre:
            return Qt::AlignHCenter;
        case RtfAlign::Justify:
            return Qt::AlignJustify;
        case RtfAlign::Left:
            break;
    }
    return Qt::AlignLeft;
}

// Web addresses become links, as the rich-edit controls' address detection made them; trailing
// punctuation belongs to the sentence, not to the address.
void InsertText(QTextCursor& cursor, QString text, const QTextCharFormat& format) {
    static const QRegularExpression kAddress(
        QStringLiteral(R"(https?://[^\s"<>]*[^\s"<>.,;:!?)'])"));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    qsizetype done = 0;
    for (auto matches = kAddress.globalMatch(text); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        cursor.insertText(text.mid(done, match.capturedStart() - done), format);
        QTextCharFormat link = format;
        link.setAnchor(true);
        link.setAnchorHref(match.captured());
        link.setFontUnderline(true);
        cursor.insertText(match.captured(), link);
        done = match.capturedEnd();
    }
    cursor.insertText(text.mid(done), format);
}

}  // namespace

bool LoadRtfResource(QTextEdit* control, int id) {
    if (!control)
        return false;
    QFile file(QStringLiteral(":/lang/rtf/%1.rtf").arg(id));
    if (!file.exists())
        file.setFileName(QStringLiteral(":/rtf/%1.rtf").arg(id));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    RtfDocument rtf;
    if (Failed(ParseRtf(std::string_view(bytes.constData(), bytes.size()), rtf)))
        return false;

    QTextDocument* document = control->document();
    document->clear();
    QTextCursor cursor(document);
    bool first = true;
    for (const RtfParagraph& paragraph : rtf.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(Alignment(paragraph.align));
        // The block's own character format sizes an empty paragraph.
        const QTextCharFormat mark = CharFormat(rtf, paragraph.mark);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(mark);
            first = false;
        } else {
            cursor.insertBlock(block, mark);
        }
        for (const RtfRun& run : paragraph.runs)
            InsertText(cursor, QString::fromStdString(run.text), CharFormat(rtf, run.format));
    }
    // An empty document still holds its closing paragraph separator.
    return document->characterCount() > 1;
}

QTextBrowser* MakePageTextControl(QWidget* parent, bool enabled) {
    auto* control = new QTextBrowser(parent);
    control->setFrameShape(QFrame::NoFrame);
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    control->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    control->viewport()->setAutoFillBackground(false);
    control->setOpenLinks(false);
    control->setOpenExternalLinks(false);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    // Disabled only so that it takes no input: the text must not turn grey.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    control->setPalette(palette);
    control->setEnabled(enabled);
    if (!enabled)
        control->setFocusPolicy(Qt::NoFocus);
    return control;
}

}  // namespace sondrel
