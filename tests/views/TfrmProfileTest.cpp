#include <QtTest>

class TfrmProfileTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TfrmProfileTest)
#include "TfrmProfileTest.moc"
