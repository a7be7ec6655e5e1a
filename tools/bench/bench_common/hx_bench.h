#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class VwVideoFileList;

// Points HOME and the XDG folders at `home`, so that a benchmark never
// touches the user's settings, and picks the offscreen platform and the
// silent audio output unless they are set. Call before the application object.
void hxBenchPrivateHome(const QString &home);

// [--count N] [--rounds R] [CARD]
struct HxBenchOptions
{
    int count = 1000;
    int rounds = 5;
    QString card;
};
HxBenchOptions hxBenchOptions(const QStringList &arguments);

// Without a card named, writes one of `count` recordings (2 * count files,
// hard links of six distinct small recordings) with make_card into
// `scratch` and names it; false when that fails.
bool hxBenchPrepareCard(HxBenchOptions *options, const QString &scratch);

// The best of several rounds: the least disturbed by other work on the machine.
double hxBestMs(int rounds, const std::function<void()> &work);

// Collects and loads like the open command does, up to listUpdateEnd(true);
// the number of recordings listed.
int hxBenchLoadCard(VwVideoFileList &list, const QString &root);
