// The first call through a lazily linked function goes through the resolver, which opens the library
// on the way: every argument must arrive as the caller passed it. snprintf and ldexp stand in for
// GStreamer's functions (g_object_set is variadic with doubles), each in a group of its own so that
// each test makes a first call.
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {
// Kept out of the compiler's sight, so the calls are made at run time.
volatile int seven = 7;
volatile double half = 0.5;
const char *volatile format = "%d %d %d %d %d|%.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f|%s";
} // namespace

class TestLazyLinking : public QObject
{
    Q_OBJECT
private slots:
    // More integer and floating-point arguments than fit in registers, and a variadic callee that
    // needs the count of vector registers used.
    void variadicFirstCall()
    {
        for (int round = 0; round < 2; ++round) { // the resolver, then the filled table
            char text[128];
            const double h = half;
            const int n = std::snprintf(text, sizeof text, format, seven, 8, 9, 10, 11, h, 1 + h, 2 + h, 3 + h,
                                        4 + h, 5 + h, 6 + h, 7 + h, 8 + h, "end");
            QCOMPARE(QByteArray(text, n), QByteArray("7 8 9 10 11|0.5 1.5 2.5 3.5 4.5 5.5 6.5 7.5 8.5|end"));
        }
    }

    void floatingPointFirstCall()
    {
        QCOMPARE(std::ldexp(half * 3, seven - 4), 12.0);
        QCOMPARE(std::ldexp(half, seven), 64.0);
    }
};

QTEST_APPLESS_MAIN(TestLazyLinking)
#include "tst_lazylinking.moc"
