// Variables get dense addresses in order of declaration; texts one slot per
// occurrence, 10000 slots, and the overflow is reported, not written.
#include "FrontEndRecorder.h"
#include "language/PCode.h"
#include "language/SymTab.h"

#include <QtTest>

using namespace tarko;
using tarko::test::FrontEndRecorder;

class TestSymTab : public QObject {
    Q_OBJECT
private slots:
    void init();
    void addressesFollowDeclarationOrder();
    void lookupIsExactAndDeclaresNothing();
    void textsAreNotShared();
    void textStoreHoldsTenThousand();
};

void TestSymTab::init()
{
    InitCode();
    ClearSymTab();
}

void TestSymTab::addressesFollowDeclarationOrder()
{
    TSymEntry* entry = nullptr;
    QVERIFY(!Enter("L\xC4NGE", entry));
    QCOMPARE(entry->Address, 0.0);
    QVERIFY(!Enter("GEWICHT", entry));
    QVERIFY(!Enter("IDEALGEWICHT", entry));
    QCOMPARE(entry->Address, 2.0);
    // A second Enter finds the old entry and uses no new address.
    QVERIFY(Enter("GEWICHT", entry));
    QCOMPARE(entry->Address, 1.0);
    QCOMPARE(VariableCount(), 3);
    QVERIFY(Lookup("GEWICHT", entry));
    QCOMPARE(entry->Address, 1.0);

    QStringList order;
    for (const TSymEntry* e = FirstSymbol(); e; e = e->Next)
        order << QString::fromLatin1(e->Name.c_str());
    QCOMPARE(order, QStringList({"L\u00C4NGE", "GEWICHT", "IDEALGEWICHT"}));

    // A new compilation starts again at address 0.
    InitCode();
    ClearSymTab();
    QVERIFY(!Lookup("GEWICHT", entry));
    QVERIFY(!Enter("ANDERS", entry));
    QCOMPARE(entry->Address, 0.0);
}

void TestSymTab::lookupIsExactAndDeclaresNothing()
{
    TSymEntry* entry = nullptr;
    QVERIFY(!Lookup("GEWICHT", entry));
    QVERIFY(entry == nullptr);
    QCOMPARE(VariableCount(), 0);
    Enter("GEWICHT", entry);
    QVERIFY(!Lookup("Gewicht", entry));
    // Names agreeing in their first 20 characters are one name.
    Enter("ABCDEFGHIJKLMNOPQRST", entry);
    QVERIFY(Lookup("ABCDEFGHIJKLMNOPQRSTUVW", entry));
    QCOMPARE(entry->Address, 1.0);
}

void TestSymTab::textsAreNotShared()
{
    QCOMPARE(AddText("\r\n"), 0);
    QCOMPARE(AddText("\r\n"), 1);
    QCOMPARE(GetText(1), std::string("\r\n"));
    QCOMPARE(TextCount(), 2);
    QCOMPARE(GetText(2), std::string());    // not stored in this compilation
    QCOMPARE(GetText(-1), std::string());
}

void TestSymTab::textStoreHoldsTenThousand()
{
    FrontEndRecorder rec;
    for (int i = 0; i <= maxTextAdr; ++i)
        QCOMPARE(AddText(std::to_string(i)), i);
    QVERIFY(rec.internalErrors.empty());
    QCOMPARE(AddText("zu viel"), -1);
    QCOMPARE(rec.internalErrors.size(), size_t(1));
    QCOMPARE(rec.internalErrors[0], std::string("Interner Fehler 1: maxTextAdr-\xDC" "berlauf in SymTab\r"
                                                "Bitte benachrichtigen Sie den Programmierer von TARKO."));
    QCOMPARE(GetText(maxTextAdr), std::string("9999"));
    QCOMPARE(TextCount(), maxTextAdr + 1);
}

QTEST_APPLESS_MAIN(TestSymTab)
#include "tst_symtab.moc"
