#include <QtTest>

class ProfilePainterTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(ProfilePainterTest)
#include "ProfilePainterTest.moc"
