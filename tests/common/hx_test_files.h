#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtTest>

// Whole-file reads and writes, and sample cards written by make_card.

// The file's bytes, or "<absent>" when it cannot be read, so that a missing
// file never compares equal to an empty one.
QByteArray hxReadFile(const QString &path);
bool hxWriteFile(const QString &path, const QByteArray &bytes);

// Runs make_card with the arguments (the card's folder last). Returns an
// empty string when the card was made, otherwise why not; *missing tells
// that make_card or ffmpeg is not there.
QString hxMakeCard(const QStringList &arguments, bool *missing);

// Makes a card in a test function: skips when make_card or ffmpeg is
// missing, fails when make_card does.
#define HX_MAKE_CARD(...)                                                                                    \
    do {                                                                                                     \
        bool hxMissing = false;                                                                              \
        const QString hxWhy = hxMakeCard(QStringList __VA_ARGS__, &hxMissing);                               \
        if (hxMissing)                                                                                       \
            QSKIP(qPrintable(hxWhy));                                                                        \
        QVERIFY2(hxWhy.isEmpty(), qPrintable(hxWhy));                                                        \
    } while (false)
