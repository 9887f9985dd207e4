#include <QtTest>

class TfrmInfoTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TfrmInfoTest)
#include "TfrmInfoTest.moc"
