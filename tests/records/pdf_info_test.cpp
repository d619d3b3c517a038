// The creator a PDF names in its document information, as the certificate's --out reads it to
// tell a certificate of the tool's own from any other file.
#include "records/pdf_info.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>

#include <optional>

namespace {

// A PDF of the least parts: the document information as object 1, the trailer naming it.
QByteArray pdfWithInfo(const QByteArray& info, const QByteArray& trailer = "/Info 1 0 R") {
    return "%PDF-1.4\n1 0 obj\n" + info + "\nendobj\n2 0 obj\n<< /Type /Catalog >>\nendobj\n" +
           "trailer\n<< /Size 3 " + trailer + " /Root 2 0 R >>\nstartxref\n0\n%%EOF\n";
}

TEST(PdfInfoTest, ReadsTheCreatorOfTheTrailersInformationDictionaryAlone) {
    const struct {
        const char* what;
        QByteArray pdf;
        std::optional<QString> creator;
    } cases[] = {
        {"literal string", pdfWithInfo("<< /Creator (TQ tool) >>"), QStringLiteral("TQ tool")},
        {"UTF-16 with its mark, escaped parentheses and backslash",
         pdfWithInfo("<< /Creator (\xfe\xff" + QByteArray("\0T\0\\(\0\\\\\0\\)\0\xe9", 13) +
                     ") >>"),
         QStringLiteral("T(\\)\u00e9")},
        {"hexadecimal UTF-16", pdfWithInfo("<</Creator<FEFF00540051>>>"), QStringLiteral("TQ")},
        {"hexadecimal, blanks inside and last digit missing",
         pdfWithInfo("<< /Creator <54 51 4>>>"), QStringLiteral("TQ@")},
        {"UTF-8 with its mark", pdfWithInfo("<< /Creator (\xef\xbb\xbf\xc3\xa9) >>"),
         QStringLiteral("\u00e9")},
        {"octal escapes and balanced parentheses", pdfWithInfo("<< /Creator (a\\101\\0611 (b)) >>"),
         QStringLiteral("aA11 (b)")},
        {"keys before it, of every kind",
         pdfWithInfo("<< /Title (x /Creator (no)) /Count 3 /Ref 4 0 R /Trapped /False "
                     "/Creator (yes) >>"),
         QStringLiteral("yes")},
        {"a name as the value of /Creator", pdfWithInfo("<< /Creator /Tool /Producer (p) >>"),
         std::nullopt},
        {"no /Creator", pdfWithInfo("<< /Producer (TQ tool) >>"), std::nullopt},
        {"/Creator after the dictionary's end",
         pdfWithInfo("<< /Producer (p) >> /Creator (TQ tool)"), std::nullopt},
        {"a string that never ends", pdfWithInfo("<< /Creator (TQ tool >>"), std::nullopt},
        {"the trailer names another object", pdfWithInfo("<< /Creator (TQ tool) >>", "/Info 7 0 R"),
         std::nullopt},
        {"no trailer", QByteArray("%PDF-1.4\n1 0 obj\n<< /Creator (TQ tool) >>\nendobj\n"),
         std::nullopt},
        {"not a PDF", pdfWithInfo("<< /Creator (TQ tool) >>").mid(1), std::nullopt},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(records::pdfCreator(c.pdf), c.creator);
    }
}

TEST(PdfInfoTest, ReadsBackTheCreatorQtWrites) {
    for (const QString& creator : {QStringLiteral("TQ-8400 Sensor Calibration 1.0"),
                                   QStringLiteral("(odd) \\ name \u00b0F \u4e2d")}) {
        QByteArray bytes;
        {
            QBuffer buffer(&bytes);
            ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
            QPdfWriter writer(&buffer);
            writer.setCreator(creator);
            writer.setTitle(QStringLiteral("/Creator (not this)"));
            QPainter painter(&writer);
            painter.drawLine(0, 0, 10, 10);
        }
        EXPECT_EQ(records::pdfCreator(bytes), creator);
    }
}

} // namespace
