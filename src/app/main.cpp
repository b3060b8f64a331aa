// examclient: the examinee's exam client.
//   examclient                          the exam client
//   examclient --screenshots FOLDER     writes a picture of each window into FOLDER
#include <QApplication>
#include <QString>

#include "ui/StartUp.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--screenshots")) {
        return exam::writeScreenshots(args[2]);
    }
    return exam::startUp();
}
