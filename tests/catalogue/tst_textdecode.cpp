// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Decoding fetched pages through the iconv fallback, for charsets whose
// text needs many more bytes than the page.
#include "catalogue/core/pagescan.h"
#include "catalogue/core/textdecode.h"

#include <QtTest>

using namespace velmora;

class tst_TextDecode : public QObject
{
    Q_OBJECT
private slots:
    void manyBytesPerByte();
    void badBytesAndCutSequences();
};

// One TSCII byte (0x82) is the syllable "ஸ்ரீ": four characters, twelve bytes
// of UTF-8. A page full of them keeps its tail and the links in it.
void tst_TextDecode::manyBytesPerByte()
{
    const QString syllable = QStringLiteral("ஸ்ரீ");
    QCOMPARE(syllable.toUtf8().size(), 12);
    for (const int count : {1, 7, 100, 5000}) {
        QByteArray page = "<a href=\"a.mp3\">A</a>";
        page += QByteArray(count, '\x82');
        page += "<a href=\"tail.mp3\">Tail</a>";
        const QString text = DecodeFetchedText(page, "text/html; charset=TSCII");
        QCOMPARE(text.count(syllable), qsizetype(count));
        QVERIFY(text.endsWith(QStringLiteral("<a href=\"tail.mp3\">Tail</a>")));
        QStringList taken;
        ScanPage(text, u".mp3", [&](const QString &address, const QString &) {
            taken << address;
            return true;
        });
        QCOMPARE(taken, (QStringList{QStringLiteral("a.mp3"), QStringLiteral("tail.mp3")}));
    }
}

void tst_TextDecode::badBytesAndCutSequences()
{
    QString text;
    // 0xFF is no TSCII byte: a replacement character, and on after it.
    QVERIFY(DecodeWithCharset(QByteArray("a\xff") + QByteArray(3000, '\x82') + "\xff" + "z", "TSCII", text));
    QCOMPARE(text.size(), 1 + 1 + 3000 * 4 + 1 + 1);
    QVERIFY(text.startsWith(QStringLiteral("a\uFFFD")));
    QVERIFY(text.endsWith(QStringLiteral("\uFFFDz")));

    // A four-byte EUC-TW character cut off by the end of the page.
    QVERIFY(DecodeWithIconv("ab\x8e\xa2", "EUC-TW", text));
    QCOMPARE(text, QStringLiteral("ab\uFFFD\uFFFD"));
    // Characters of several bytes across the slices the page is read in.
    const QByteArray han = "\x8e\xa1\xa4\xa1";  // one EUC-TW character in four bytes
    QVERIFY(DecodeWithIconv("x" + han.repeated(3000), "EUC-TW", text));
    QCOMPARE(text.size(), 1 + 3000);
    QVERIFY(!text.contains(QChar::ReplacementCharacter));

    QVERIFY(DecodeWithIconv(QByteArray(), "TSCII", text));
    QCOMPARE(text, QString());
    QVERIFY(!DecodeWithCharset("x", "no-such-charset", text));
    QVERIFY(!DecodeWithIconv("x", "no-such-charset", text));
}

QTEST_GUILESS_MAIN(tst_TextDecode)
#include "tst_textdecode.moc"
