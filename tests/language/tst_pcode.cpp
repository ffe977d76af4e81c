// The code store, its header and fix-ups, the listing lines and the overflow
// reports that must never leave the store.
#include "FrontEndRecorder.h"
#include "language/PCode.h"

#include <QtTest>

using namespace tarko;
using tarko::test::FrontEndRecorder;

Q_DECLARE_METATYPE(tarko::TOpcode)

class TestPCode : public QObject {
    Q_OBJECT
private slots:
    void instrToText_data();
    void instrToText();
    void emptyProgramHasHeaderAndHalt();
    void patchFillsPlaceholderAndKeepsPosition();
    void listingLinesOfEmitAndPlaceholder();
    void dataAddressesCountFromZeroPerCompilation();
    void seekToHighWaterMarkOnly();
    void lastSlotWriteReportsAndNothingLeavesStore();
    void readPastLastSlotDeliversHalt();
};

void TestPCode::instrToText_data()
{
    QTest::addColumn<TOpcode>("op");
    QTest::addColumn<double>("arg");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no operand: ADD") << TOpcode::ADD << 0.0 << QByteArray("ADD");
    QTest::newRow("no operand: HALT ignores its operand") << TOpcode::HALT << 7.0 << QByteArray("HALT");
    QTest::newRow("no operand: NOP header value hidden") << TOpcode::NOP << 8.0 << QByteArray("NOP");
    QTest::newRow("no operand: umlaut name") << TOpcode::LOESCHEN << 0.0 << QByteArray("L\xD6SCHEN");

    QTest::newRow("operand: ten") << TOpcode::PUSHC << 10.0 << QByteArray("PUSHC 1.0E+0001");
    QTest::newRow("operand: zero") << TOpcode::PUSHC << 0.0 << QByteArray("PUSHC 0.0E+0000");
    QTest::newRow("operand: negative zero has no sign") << TOpcode::PUSHC << -0.0 << QByteArray("PUSHC 0.0E+0000");
    QTest::newRow("operand: minus one") << TOpcode::PUSHC << -1.0 << QByteArray("PUSHC-1.0E+0000");
    QTest::newRow("operand: half") << TOpcode::PUSHC << 0.5 << QByteArray("PUSHC 5.0E-0001");
    QTest::newRow("operand: 123 rounds down") << TOpcode::PUSHC << 123.0 << QByteArray("PUSHC 1.2E+0002");
    QTest::newRow("operand: 125 rounds half up") << TOpcode::PUSHC << 125.0 << QByteArray("PUSHC 1.3E+0002");
    QTest::newRow("operand: 99.7 carries into exponent") << TOpcode::PUSHC << 99.7 << QByteArray("PUSHC 1.0E+0002");
    QTest::newRow("operand: 0.15 uses the exact digits") << TOpcode::PUSHC << 0.15 << QByteArray("PUSHC 1.5E-0001");
    QTest::newRow("operand: negative 250") << TOpcode::PUSH << -250.0 << QByteArray("PUSH-2.5E+0002");
    QTest::newRow("operand: tiny") << TOpcode::POPC << 1e-5 << QByteArray("POPC 1.0E-0005");
    QTest::newRow("operand: three-digit exponent") << TOpcode::PUSH << 1e300 << QByteArray("PUSH 1.0E+0300");
    QTest::newRow("operand: colour of GCOLOR") << TOpcode::GCOLOR << 0.0 << QByteArray("GCOLOR 0.0E+000");
    QTest::newRow("cut to 15: BRANCH") << TOpcode::BRANCH << 12.0 << QByteArray("BRANCH 1.2E+000");
    QTest::newRow("cut to 15: BRNEQL") << TOpcode::BRNEQL << 2.5e10 << QByteArray("BRNEQL 2.5E+001");
    QTest::newRow("full: BREQL placeholder") << TOpcode::BREQL << 0.0 << QByteArray("BREQL 0.0E+0000");
    QTest::newRow("full: JUMP") << TOpcode::JUMP << 3.0 << QByteArray("JUMP 3.0E+0000");
}

void TestPCode::instrToText()
{
    QFETCH(TOpcode, op);
    QFETCH(double, arg);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(InstrToText({op, arg})), expected);
}

void TestPCode::emptyProgramHasHeaderAndHalt()
{
    InitCode();
    FinishCode();
    QCOMPARE(StreamPos(), 3);
    const std::pair<TOpcode, double> expected[] = {
        {TOpcode::NOP, 8.0}, {TOpcode::NOP, 1.0}, {TOpcode::NOP, 0.0}, {TOpcode::HALT, 0.0}};
    ResetStream();
    for (const auto& [op, arg] : expected) {
        TInstruction instr;
        ReadS(instr);
        QCOMPARE(instr.Op, op);
        QCOMPARE(instr.Arg, arg);
    }
}

void TestPCode::patchFillsPlaceholderAndKeepsPosition()
{
    FrontEndRecorder rec;
    InitCode();
    for (int i = 0; i < 5; ++i)
        Emit(TOpcode::NOP);
    TFixup fixup;
    EmitFixup(TOpcode::BREQL, fixup);
    QCOMPARE(fixup.Slot, 8);
    Emit(TOpcode::ADD);
    Emit(TOpcode::SUB);
    const int before = StreamPos();
    Patch(fixup);
    QCOMPARE(StreamPos(), before);
    QCOMPARE(CodePC(), 8);

    ResetStream();
    TInstruction instr;
    for (int slot = 0; slot <= 8; ++slot)
        ReadS(instr);
    QCOMPARE(instr.Op, TOpcode::BREQL);
    QCOMPARE(instr.Arg, 8.0);
    QVERIFY(rec.internalErrors.empty());
}

void TestPCode::listingLinesOfEmitAndPlaceholder()
{
    FrontEndRecorder rec;
    InitCode();
    Emit(TOpcode::PUSHC, 10);
    Emit(TOpcode::PUSHC, 1);
    Emit(TOpcode::LESS);
    TFixup fixup;
    EmitFixup(TOpcode::BREQL, fixup);
    Patch(fixup);          // does not change the listing
    FinishCode();          // the final HALT has no listing line
    const std::vector<std::string> expected = {"PC:0 PUSHC 1.0E+0001\r", "PC:1 PUSHC 1.0E+0000\r",
                                               "PC:2 LESS\r", "PC3 BREQL 0.0E+0000\r"};
    QCOMPARE(rec.listing, expected);
}

void TestPCode::dataAddressesCountFromZeroPerCompilation()
{
    InitCode();
    QCOMPARE(NewDataAdr(), 0);
    QCOMPARE(NewDataAdr(), 1);
    QCOMPARE(VariableCount(), 2);
    FinishCode();
    ResetStream();
    TInstruction instr;
    ReadS(instr);
    ReadS(instr);
    ReadS(instr);
    QCOMPARE(instr.Arg, 2.0);   // header slot 2: number of variables
    InitCode();
    QCOMPARE(NewDataAdr(), 0);
}

void TestPCode::seekToHighWaterMarkOnly()
{
    FrontEndRecorder rec;
    InitCode();
    Emit(TOpcode::ADD);          // high-water mark 4
    SeekS(1);
    SeekS(4);
    QCOMPARE(StreamPos(), 4);
    QVERIFY(rec.internalErrors.empty());
    SeekS(5);
    QCOMPARE(StreamPos(), 4);
    SeekS(-1);
    QCOMPARE(StreamPos(), 4);
    QCOMPARE(rec.internalErrors.size(), size_t(2));
    QCOMPARE(rec.internalErrors[0], std::string("Interner Fehler 2: maxSPtr-\xDC" "berlauf in SeekS in Stream\r"
                                                "Bitte benachrichtigen Sie den Programmierer von TARKO."));
}

void TestPCode::lastSlotWriteReportsAndNothingLeavesStore()
{
    FrontEndRecorder rec;
    InitCode();
    while (CodePC() < 99997)
        Emit(TOpcode::NOP);
    QVERIFY(rec.internalErrors.empty());
    Emit(TOpcode::PUSHC, 42);    // instruction 99997 lands in slot 100000
    QCOMPARE(rec.internalErrors.size(), size_t(1));
    QVERIFY(rec.internalErrors[0].starts_with("Interner Fehler 2: maxSPtr-\xDC" "berlauf in WriteS in Stream\r"));
    Emit(TOpcode::ADD);          // beyond the store: dropped, reported again
    Emit(TOpcode::ADD);
    QCOMPARE(rec.internalErrors.size(), size_t(3));
    QCOMPARE(StreamPos(), maxSPtr + 1);

    SeekS(maxSPtr);
    TInstruction instr;
    ReadS(instr);
    QCOMPARE(instr.Op, TOpcode::PUSHC);
    QCOMPARE(instr.Arg, 42.0);
}

void TestPCode::readPastLastSlotDeliversHalt()
{
    FrontEndRecorder rec;
    InitCode();
    ResetStream();
    TInstruction instr;
    for (int slot = 0; slot <= maxSPtr; ++slot)
        ReadS(instr);
    QCOMPARE(rec.internalErrors.size(), size_t(1));
    QVERIFY(rec.internalErrors[0].starts_with("Interner Fehler 2: maxSPtr-\xDC" "berlauf in ReadS in Stream\r"));
    ReadS(instr);
    QCOMPARE(instr.Op, TOpcode::HALT);
    QCOMPARE(rec.internalErrors.size(), size_t(2));
}

QTEST_APPLESS_MAIN(TestPCode)
#include "tst_pcode.moc"
