// Text rules of bubbles and conversations: times, file links, file names and symbols, names, search.
#include "MessagingRecords.h"
#include "TextRules.h"

#include <QTest>
#include <QTimeZone>

#include <ctime>

using namespace TextRules;
using Card = BubbleContent::Card;
using OptString = std::optional<QString>;
Q_DECLARE_METATYPE(OptString)
Q_DECLARE_METATYPE(BubbleContent::Card)

namespace {
const QString host = QStringLiteral("https://content.theorvane.example");
const QString clip = QStringLiteral("\U0001F4CE");
} // namespace

class TextRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone with daylight saving, so stamps in its spring-forward gap are tried.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // One server stamp as a bubble shows it (as written) and as the conversation list shows it (local).
    void times_data()
    {
        QTest::addColumn<OptString>("stamp");
        QTest::addColumn<QString>("bubble");
        QTest::addColumn<QString>("list");
        QTest::newRow("six digits and Z") << OptString("2025-01-05T10:20:30.123456Z") << "10:20" << "11:20";
        QTest::newRow("in the local spring-forward gap") << OptString("2025-03-30T02:30:00.000000Z") << "02:30" << "04:30";
        QTest::newRow("no fraction") << OptString("2025-01-05T10:20:30Z") << "10:20" << "";
        QTest::newRow("no Z") << OptString("2025-01-05T10:20:30.123456") << "10:20" << "";
        QTest::newRow("offset") << OptString("2025-01-05T10:20:30.123456+01:00") << "10:20" << "";
        QTest::newRow("impossible date") << OptString("2025-02-30T10:20:30.123456Z") << "10:20" << "";
        QTest::newRow("no T") << OptString("2025-03-01 09:05") << "" << "";
        QTest::newRow("absent") << OptString() << "" << "";
        QTest::newRow("first T wins") << OptString("T12:34T56:78") << "12:34" << "";
    }
    void times()
    {
        QFETCH(OptString, stamp);
        QFETCH(QString, bubble);
        QFETCH(QString, list);
        QCOMPARE(formattedTime(stamp), bubble);
        QCOMPARE(conversationTime(stamp), list);
    }

    // What a link says about its file: the name without the server's two prefixes, and the symbol.
    void fileFromLink_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");
        QTest::newRow("server prefix dropped") << host + "/files/1733480000-ab12cd-my-report.pdf" << "my-report.pdf" << "doc.text";
        QTest::newRow("plain name kept") << host + "/files/photo.png" << "photo.png" << "photo";
        QTest::newRow("two parts kept") << "https://x.example/a-b.txt" << "a-b.txt" << "doc";
        QTest::newRow("percent decoded") << "https://x.example/1-2-Project%20plan.mov" << "Project plan.mov" << "video";
        QTest::newRow("not an address") << "::not a url" << QStringLiteral("Файл") << "doc";
        QTest::newRow("no path") << "https://x.example" << QStringLiteral("Файл") << "doc";
        QTest::newRow("nothing after the prefix") << "https://x.example/1-2-" << QStringLiteral("Файл") << "doc";
        QTest::newRow("upper case extension") << "https://x/A.JPEG" << "A.JPEG" << "photo";
        QTest::newRow("audio") << "https://x/a.m4a" << "a.m4a" << "music.note";
        QTest::newRow("archive") << "https://x/a.7z" << "a.7z" << "doc.zipper";
        QTest::newRow("extension without a dot") << "https://x/pdf" << "pdf" << "doc";
    }
    void fileFromLink()
    {
        QFETCH(QString, url);
        QFETCH(QString, name);
        QFETCH(QString, icon);
        QCOMPARE(fileNameFromUrl(url), name);
        QCOMPARE(fileIconForUrl(url), icon);
    }

    void iconsByType_data()
    {
        QTest::addColumn<OptString>("type");
        QTest::addColumn<QString>("icon");
        QTest::newRow("image") << OptString("image/png") << "photo";
        QTest::newRow("video") << OptString("video/mp4") << "video";
        QTest::newRow("audio") << OptString("audio/mpeg") << "music.note";
        QTest::newRow("pdf") << OptString("application/pdf") << "doc.text";
        QTest::newRow("zip") << OptString("application/zip") << "doc.zipper";
        QTest::newRow("archive") << OptString("application/x-archive") << "doc.zipper";
        QTest::newRow("image wins over zip") << OptString("image/zip") << "photo";
        QTest::newRow("case-sensitive") << OptString("IMAGE/PNG") << "doc";
        QTest::newRow("other") << OptString("text/plain") << "doc";
        QTest::newRow("absent") << OptString() << "doc";
    }
    // The bubble's card and the chat's attached-file record name a type alike.
    void iconsByType()
    {
        QFETCH(OptString, type);
        QFETCH(QString, icon);
        QCOMPARE(fileIcon(type), icon);
        AttachedFile file;
        file.mimeType = type.value_or(QString());
        QCOMPARE(file.icon(), icon);
    }

    void linkExtraction_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<OptString>("link");
        QTest::newRow("content host wins over an earlier link")
            << "see https://a.example/x and " + host + "/files/1-2-r.pdf" << OptString(host + "/files/1-2-r.pdf");
        QTest::newRow("any https link") << "look https://a.example/page\tok" << OptString("https://a.example/page");
        QTest::newRow("plain http is no file") << "http://a.example/x" << OptString();
        QTest::newRow("stops at a line break") << "https://a.example/p\nnext" << OptString("https://a.example/p");
        QTest::newRow("stops at a no-break space") << QStringLiteral("https://a.example/p\u00A0x") << OptString("https://a.example/p");
        QTest::newRow("bare scheme") << "https://" << OptString();
        QTest::newRow("host without path is still a link") << host << OptString(host);
        QTest::newRow("lookalike host") << "https://content.theorvane.example.evil/x" << OptString("https://content.theorvane.example.evil/x");
    }
    void linkExtraction()
    {
        QFETCH(QString, content);
        QFETCH(OptString, link);
        QCOMPARE(extractedFileUrl(content, host), link);
    }

    void leftoverFileName_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<OptString>("name");
        QTest::newRow("trimmed") << clip + " \t report.pdf \t" << OptString("report.pdf");
        QTest::newRow("first line") << clip + " a.txt\nsecond" << OptString("a.txt");
        QTest::newRow("every clip removed") << clip + " " + clip + " b.txt" << OptString("b.txt");
        QTest::newRow("no clip") << "report.pdf" << OptString();
        QTest::newRow("clip later") << "x " + clip + " a.txt" << OptString();
    }
    void leftoverFileName()
    {
        QFETCH(QString, content);
        QFETCH(OptString, name);
        QCOMPARE(extractedFileName(content), name);
    }

    // A file sent with its "📎 name" text, as a card alone: tst_messaging_e2e.
    void bubble_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<OptString>("attachmentUrl");
        QTest::addColumn<OptString>("attachmentType");
        QTest::addColumn<OptString>("attachmentName");
        QTest::addColumn<Card>("card");
        QTest::addColumn<QString>("cardName");
        QTest::addColumn<QString>("cardIcon");
        QTest::addColumn<QString>("text");

        const QString fileUrl = host + "/files/9-ab-report.pdf";
        QTest::newRow("attachment name from the link")
            << "caption" << OptString(fileUrl) << OptString() << OptString() << Card::Download << "report.pdf"
            << "doc.text" << "";
        QTest::newRow("percent-encoded name reads plainly")
            << "" << OptString(host + "/files/9-ab-Project%20plan%D0%AF.txt") << OptString("text/plain")
            << OptString("Project%20plan%D0%AF.txt") << Card::Download << QString::fromUtf8("Project planЯ.txt")
            << "doc" << "";
        QTest::newRow("lost link: unavailable card")
            << clip + " report.pdf (2.3 MB)" << OptString() << OptString("application/pdf") << OptString()
            << Card::Unavailable << "report.pdf" << "doc.text" << "";
        QTest::newRow("any link hides the sentence")
            << "Have a look at https://other.example/docs/page" << OptString() << OptString() << OptString()
            << Card::Download << "page" << "doc" << "";
        QTest::newRow("leftover name names a linked card")
            << clip + " plan.txt (1 KB) " + fileUrl << OptString() << OptString() << OptString() << Card::Download
            << "plan.txt" << "doc.text" << "";
        QTest::newRow("plain text trimmed")
            << "  \n Привет! \n" << OptString() << OptString() << OptString() << Card::None << "" << "" << "Привет!";
        QTest::newRow("empty attachment address is none")
            << "hello" << OptString("") << OptString() << OptString() << Card::None << "" << "" << "hello";
        QTest::newRow("white space only") << " \n " << OptString() << OptString() << OptString() << Card::None << ""
                                           << "" << "";
    }
    void bubble()
    {
        QFETCH(QString, content);
        QFETCH(OptString, attachmentUrl);
        QFETCH(OptString, attachmentType);
        QFETCH(OptString, attachmentName);
        QFETCH(Card, card);
        QFETCH(QString, cardName);
        QFETCH(QString, cardIcon);
        QFETCH(QString, text);
        const auto b = bubbleContent(content, attachmentUrl, attachmentType, attachmentName, host);
        QCOMPARE(b.card, card);
        QCOMPARE(b.cardName, cardName);
        QCOMPARE(b.cardIcon, cardIcon);
        QCOMPARE(b.text, text);
        QCOMPARE(b.cardUrl.isEmpty(), card != Card::Download);
    }

    void contentHost()
    {
        QCOMPARE(contentHostPrefix("https://content.theorvane.example/"), host);
        QCOMPARE(contentHostPrefix("http://127.0.0.1:8123/content/"), QStringLiteral("http://127.0.0.1:8123"));
        QCOMPARE(contentHostPrefix("not a url"), QString());
        // The content host of a loopback server is recognised by its own scheme and port.
        QCOMPARE(extractedFileUrl("x http://127.0.0.1:8123/content/files/a-b-c.txt", "http://127.0.0.1:8123"),
                 OptString("http://127.0.0.1:8123/content/files/a-b-c.txt"));
    }

    // Name and last name together: tst_MessagesListView.qml's rows.
    void names_data()
    {
        QTest::addColumn<OptString>("name");
        QTest::addColumn<OptString>("lastName");
        QTest::addColumn<OptString>("username");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty last name, no trailing space") << OptString("Анна") << OptString("") << OptString("anna") << "Анна";
        QTest::newRow("username") << OptString() << OptString("X") << OptString("anna") << "anna";
        QTest::newRow("unknown") << OptString() << OptString() << OptString() << "Unknown";
    }
    void names()
    {
        QFETCH(OptString, name);
        QFETCH(OptString, lastName);
        QFETCH(OptString, username);
        QFETCH(QString, expected);
        QCOMPARE(displayName(name, lastName, username), expected);
    }

    // Case, an empty and an unmatched search are tried on the conversation list (tst_messaging_e2e).
    void search_data()
    {
        QTest::addColumn<QString>("haystack");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("found");
        QTest::newRow("cyrillic middle of a word") << "Посмотришь макет" << "МАК" << true;
        QTest::newRow("no trimming of the needle") << "John" << "john " << false;
    }
    void search()
    {
        QFETCH(QString, haystack);
        QFETCH(QString, needle);
        QFETCH(bool, found);
        QCOMPARE(containsIgnoringCase(haystack, needle), found);
    }

    void mimeTypes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("type");
        QTest::newRow("png upper case") << "PHOTO.PNG" << "image/png";
        QTest::newRow("no extension") << "Makefile" << "application/octet-stream";
    }
    void mimeTypes()
    {
        QFETCH(QString, file);
        QFETCH(QString, type);
        QCOMPARE(mimeTypeForFileName(file), type);
    }

    void firstCharactersKeepsEmojiWhole()
    {
        const QString flag = QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308");
        QCOMPARE(firstCharactersLength(u"abc", 30), qsizetype(3));
        QCOMPARE(firstCharactersLength(QString("ab" + flag + "cd"), 3), 2 + flag.size());
        QCOMPARE(firstCharactersLength(QString(40, 'x'), 30), qsizetype(30));
    }
};

QTEST_GUILESS_MAIN(TextRulesTest)
#include "tst_textrules.moc"
