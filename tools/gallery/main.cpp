// Shows every button of the viewer in every state on the application style
// sheet. With --output FILE the sheet is saved as a PNG image instead of shown;
// the exit code is 2 when an image the sheet needs is missing.

#include "gallery_sheet.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFontDatabase>
#include <QScrollArea>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Save the sheet as a PNG image."),
                                    QStringLiteral("file"));
    parser.addOption(output);
    parser.process(application);

    QFontDatabase::addApplicationFont(QStringLiteral(":/font/dseg7-classic.ttf"));
    QFile styleSheet(QStringLiteral(":/stylesheet/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        application.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    auto *sheet = new GallerySheet;
    for (const QString &name : sheet->missingImages())
        std::fprintf(stderr, "gallery: missing image %s.png\n", qPrintable(name));

    if (parser.isSet(output)) {
        const QPixmap picture = sheet->render();
        if (!picture.save(parser.value(output), "PNG")) {
            std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(parser.value(output)));
            return 1;
        }
        const bool complete = sheet->missingImages().isEmpty();
        delete sheet;
        return complete ? 0 : 2;
    }

    QScrollArea area;
    area.setWidget(sheet);
    area.resize(1280, 900);
    area.setWindowTitle(QStringLiteral("Button gallery"));
    area.show();
    return application.exec();
}
