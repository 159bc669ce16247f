// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Cutting the catalogue list into lines and entries.
#include "catalogue/core/listformat.h"

#include <QtTest>

using namespace velmora;

class tst_ListFormat : public QObject
{
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void cutting_data();
    void cutting();
};

void tst_ListFormat::lineEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lone cr ends a line") << "a\rb" << QStringList{"a", "b"};
    QTest::newRow("lone lf stays in the line") << "a\nb\r\nc" << QStringList{"a\nb", "c"};
    QTest::newRow("lf then cr") << "a\n\rb" << QStringList{"a\n", "b"};
    QTest::newRow("empty lines kept for the reader") << "\r\n\r\na\r\r\n" << QStringList{"", "", "a", ""};
    QTest::newRow("last line without ending") << "a\r\nlast" << QStringList{"a", "last"};
    QTest::newRow("empty text") << "" << QStringList{};
}

void tst_ListFormat::lineEnds()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitListLines(text), lines);
}

void tst_ListFormat::cutting_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("good");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("category");
    QTest::newRow("plain") << "a::=b::=c" << true << "a" << "b" << "c";
    QTest::newRow("extra separators belong to the category")
        << "u::=.mp3::=A::=B" << true << "u" << ".mp3" << "A::=B";
    QTest::newRow("spaces kept") << " u ::= k ::= c " << true << " u " << " k " << " c ";
    // The second separator must begin after the end of the first: in
    // "a::=::=c" the key is empty (bad), in "a::::=b" the first ':' pair is text.
    QTest::newRow("adjacent separators give an empty key") << "a::=::=c" << false << "a" << "" << "c";
    QTest::newRow("overlapping colons") << "a::=:=b::=c" << true << "a" << ":=b" << "c";
    QTest::newRow("colons before the separator") << "a::::=b::=c" << true << "a::" << "b" << "c";
    QTest::newRow("empty address") << "::=b::=c" << false << "" << "b" << "c";
    QTest::newRow("empty category") << "a::=b::=" << false << "a" << "b" << "";
    QTest::newRow("one separator") << "a::=b" << false << "" << "" << "";
    QTest::newRow("no separator") << "just text" << false << "" << "" << "";
    QTest::newRow("lf inside the category") << "a::=b::=c\nd" << true << "a" << "b" << "c\nd";
}

void tst_ListFormat::cutting()
{
    QFETCH(QString, line);
    QFETCH(bool, good);
    QFETCH(QString, url);
    QFETCH(QString, key);
    QFETCH(QString, category);
    ListEntry e;
    QCOMPARE(CutListLine(line, e), good);
    QCOMPARE(e.URL, url);
    QCOMPARE(e.Key, key);
    QCOMPARE(e.Category, category);
}

QTEST_GUILESS_MAIN(tst_ListFormat)
#include "tst_listformat.moc"
