#include <gtest/gtest.h>

#include <sstream>

#include "combolist/VXComboDB.h"
#include "combolist/tests/ComboTestSupport.h"
#include "common/Text.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/odbc/tests/SqliteFile.h"
#include "tests/support/ManualTimer.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

using test::CountingConnectionFactory;
using test::EventRecorder;
using test::FakeSleeper;
using test::SqliteFile;
using test::TempDir;

constexpr std::int32_t kTimeout = -2147216504;   // 0x80041388
constexpr std::int32_t kDatabase = -2147467259;  // 0x80004005

using Events = std::vector<std::u16string>;

class ComboListServer : public ::testing::Test {
  protected:
    ComboListServer()
        : db(dir / "lists.db"),
          other(dir / "other.db"),
          counting(odbc),
          server(counting, timers, sleeper, errors) {
        db.Exec("CREATE TABLE Kunden (Name VARCHAR(30), Nr INTEGER)");
        db.Exec("INSERT INTO Kunden VALUES ('Müller', 3)");
        db.Exec("INSERT INTO Kunden VALUES ('Albers', 1)");
        db.Exec("INSERT INTO Kunden VALUES ('Zander', 2)");
        db.Exec("CREATE TABLE Artikel (Bez VARCHAR(30), Id INTEGER)");
        db.Exec("INSERT INTO Artikel VALUES ('Schraube', 10)");
        db.Done();
        other.Exec("CREATE TABLE Orte (Ort VARCHAR(30), Plz VARCHAR(5))");
        other.Exec("INSERT INTO Orte VALUES ('Köln', '50667')");
        other.Done();
        server.SetEvents(recorder);
    }

    void Define(const std::u16string& name, const std::u16string& visible = u"Name",
                const std::u16string& itemData = u"Nr", const std::u16string& where = u"") {
        server.AddComboList(db.ConnectString(), name, visible, itemData, where);
    }
    ManualTimer& Timer() { return *timers.Latest(); }
    Events& Seen() { return recorder->events; }

    TempDir dir;
    SqliteFile db;
    SqliteFile other;
    OdbcConnectionFactory odbc;
    CountingConnectionFactory counting;
    ManualTimerFactory timers;
    FakeSleeper sleeper;
    std::ostringstream errors;
    std::shared_ptr<EventRecorder> recorder = std::make_shared<EventRecorder>();
    VXComboDB server;
};

std::vector<std::u16string> Column(const RecordSet& rs, std::size_t column) {
    std::vector<std::u16string> out;
    for (std::size_t r = 0; r < rs.RecordCount(); ++r) {
        const FieldValue v = rs.Value(r, column);
        if (const auto* text = std::get_if<std::u16string>(&v)) {
            out.push_back(*text);
        } else if (const auto* number = std::get_if<std::int64_t>(&v)) {
            out.push_back(FromUtf8(std::to_string(*number)));
        } else {
            out.push_back(u"?");
        }
    }
    return out;
}

template <class Call>
AutomationError ErrorOf(Call call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return AutomationError(0, u"", u"");
}

TEST_F(ComboListServer, EveryOperationBeforeInitFailsAndDefinesNothing) {
    const std::vector<std::function<void()>> calls = {
        [&] { Define(u"Kunden"); },
        [&] { server.Refresh(); },
        [&] { server.Refresh(u"Kunden"); },
        [&] { server.ComboList(u"Kunden"); },
    };
    for (const auto& call : calls) {
        const AutomationError e = ErrorOf(call);
        EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x8004138Au));
        EXPECT_EQ(e.Source(), u"VXBComboServer");
        EXPECT_EQ(e.Description(), u"Init wurde nicht aufgerufen.");
    }
    EXPECT_EQ(timers.Created(), 0u);
    EXPECT_TRUE(counting.opened.empty());
}

TEST_F(ComboListServer, StatementIsBuiltByPlainConcatenation) {
    struct Case {
        std::u16string table, visible, itemData, where, statement;
    };
    const std::vector<Case> cases = {
        {u"Kunden", u"Name", u"Nr", u"Nr>0", u"SELECT Name,Nr FROM Kunden WHERE Nr>0"},
        {u"Kunden", u"Name", u"Nr", u"", u"SELECT Name,Nr FROM Kunden"},
        {u"Kunden", u"Name", u"Nr", u"  ", u"SELECT Name,Nr FROM Kunden WHERE   "},
        {u"", u"Name", u"Nr", u"", u"SELECT Name,Nr FROM "},
        {u" Kunden k ", u" k.Name ", u"k.Nr", u"x = 'a,b'",
         u"SELECT  k.Name ,k.Nr FROM  Kunden k  WHERE x = 'a,b'"},
    };
    for (const auto& c : cases) {
        server.Init(0);
        counting.statements.clear();
        server.AddComboList(db.ConnectString(), c.table, c.visible, c.itemData, c.where);
        timers.Tick();
        EXPECT_EQ(counting.statements, std::vector<std::u16string>{c.statement});
    }
}

TEST_F(ComboListServer, OmittedFilterMeansNoWhere) {
    server.Init(0);
    server.AddComboList(db.ConnectString(), u"Kunden", u"Name", u"Nr");
    timers.Tick();
    EXPECT_EQ(counting.statements, std::vector<std::u16string>{u"SELECT Name,Nr FROM Kunden"});
}

TEST_F(ComboListServer, ComboListOfAPendingListLoadsAllPendingListsFirst) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    EXPECT_TRUE(Timer().Armed());
    auto rs = server.ComboList(u"Artikel");
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
    ASSERT_NE(rs, nullptr);
    ASSERT_EQ(rs->FieldCount(), 2u);
    EXPECT_EQ(rs->FieldAt(0).name, u"Bez");
    EXPECT_EQ(rs->FieldAt(1).name, u"Id");
    EXPECT_EQ(Column(*rs, 0), std::vector<std::u16string>{u"Schraube"});
    EXPECT_FALSE(Timer().Armed());
    EXPECT_TRUE(sleeper.sleeps.empty());
    // Delivered without touching the database again, rows in the database's order.
    auto kunden = server.ComboList(u"Kunden");
    EXPECT_EQ(Column(*kunden, 0), (std::vector<std::u16string>{u"Müller", u"Albers", u"Zander"}));
    EXPECT_EQ(Column(*kunden, 1), (std::vector<std::u16string>{u"3", u"1", u"2"}));
    EXPECT_EQ(counting.opened.size(), 1u);
    EXPECT_EQ(counting.alive, 0);
}

TEST_F(ComboListServer, TimerTickLoadsDefinitionsMadeInQuickSuccessionInOneRun) {
    server.Init(0);
    EXPECT_FALSE(Timer().Armed());
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    EXPECT_TRUE(timers.Tick());
    EXPECT_FALSE(Timer().Armed());
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
    EXPECT_EQ(counting.opened.size(), 1u);
    EXPECT_NE(server.ComboList(u"Kunden"), nullptr);
    EXPECT_EQ(counting.statements.size(), 2u);
    EXPECT_TRUE(errors.str().empty());
}

TEST_F(ComboListServer, SecondDefinitionOfANameChangesNothingAndLeavesTheTimerStopped) {
    server.Init(0);
    Define(u"Kunden");
    server.AddComboList(other.ConnectString(), u"Kunden", u"Ort", u"Plz", u"1=0");
    EXPECT_FALSE(Timer().Armed());
    auto rs = server.ComboList(u"Kunden");  // the pending load still happens on demand
    EXPECT_EQ(counting.statements, std::vector<std::u16string>{u"SELECT Name,Nr FROM Kunden"});
    EXPECT_EQ(counting.opened, std::vector<std::u16string>{db.ConnectString()});
    EXPECT_EQ(rs->RecordCount(), 3u);
}

TEST_F(ComboListServer, NamesThatDifferOnlyInCaseAreDifferentLists) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"KUNDEN", u"Name", u"Nr", u"Nr=1");
    auto lower = server.ComboList(u"Kunden");
    auto upper = server.ComboList(u"KUNDEN");
    EXPECT_EQ(lower->RecordCount(), 3u);
    EXPECT_EQ(upper->RecordCount(), 1u);
    EXPECT_EQ(server.ComboList(u"kunden"), nullptr);
}

TEST_F(ComboListServer, ConsecutiveListsShareAConnectionOnlyWithTheExactSameConnectString) {
    const std::u16string a = db.ConnectString();
    const std::u16string aOtherCase =
        u"DRIVER=SQLite3;Database=" + FromUtf8((dir / "lists.db").string());
    const std::u16string b = other.ConnectString();
    struct Case {
        std::vector<std::u16string> connects;
        std::size_t opens;
    };
    const std::vector<Case> cases = {
        {{a, a, a}, 1},
        {{a, b}, 2},
        {{a, b, a}, 3},        // a return to the first string opens it anew
        {{a, aOtherCase}, 2},  // exact comparison: case counts
    };
    for (const auto& c : cases) {
        server.Init(0);
        counting.opened.clear();
        for (std::size_t i = 0; i < c.connects.size(); ++i) {
            const bool isOther = c.connects[i] == b;
            const std::u16string alias = u" AS t" + FromUtf8(std::to_string(i));
            server.AddComboList(c.connects[i], (isOther ? u"Orte" : u"Kunden") + alias,
                                isOther ? u"Ort" : u"Name", isOther ? u"Plz" : u"Nr");
        }
        ASSERT_NE(server.ComboList(u"Kunden AS t0"), nullptr);
        EXPECT_EQ(counting.opened.size(), c.opens);
        EXPECT_EQ(counting.alive, 0);
    }
}

TEST_F(ComboListServer, EveryRunOpensItsConnectionAnew) {
    server.Init(0);
    Define(u"Kunden");
    timers.Tick();
    server.Refresh();
    timers.Tick();
    EXPECT_EQ(counting.opened.size(), 2u);
    EXPECT_EQ(counting.alive, 0);
}

TEST_F(ComboListServer, RefreshDeliversThePreviousRecordSetUntilTheNextRun) {
    server.Init(0);
    Define(u"Kunden");
    auto before = server.ComboList(u"Kunden");
    db.Exec("INSERT INTO Kunden VALUES ('Neu', 4)");
    db.Done();
    Seen().clear();

    server.Refresh(u"Kunden");
    EXPECT_TRUE(Timer().Armed());
    EXPECT_EQ(server.ComboList(u"Kunden"), before);  // at once, no run
    EXPECT_TRUE(Seen().empty());

    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"Ready"}));
    auto after = server.ComboList(u"Kunden");
    EXPECT_NE(after, before);
    EXPECT_EQ(after->RecordCount(), 4u);
    EXPECT_EQ(before->RecordCount(), 3u);  // the client's copy stays as it was
}

TEST_F(ComboListServer, RefreshWithoutNameReloadsEveryListInStoreOrder) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    timers.Tick();
    Seen().clear();
    server.Refresh();
    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
}

TEST_F(ComboListServer, RunOverAnEmptyStoreRaisesOnlyReady) {
    server.Init(0);
    server.Refresh();
    EXPECT_TRUE(timers.Tick());
    EXPECT_EQ(Seen(), Events{u"Ready"});
    EXPECT_TRUE(counting.opened.empty());
}

TEST_F(ComboListServer, RefreshOfAnUnknownNameFailsAndAddsNothing) {
    server.Init(0);
    Define(u"Kunden");
    const AutomationError e = ErrorOf([&] { server.Refresh(u"Lieferanten"); });
    EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x80041389u));
    EXPECT_EQ(e.Source(), u"VXBComboServer");
    EXPECT_EQ(e.Description(), u"Die Liste 'Lieferanten' ist nicht definiert.");
    EXPECT_FALSE(Timer().Armed());
    // Not busy any more: a run goes ahead, and it knows only the defined list.
    EXPECT_NE(server.ComboList(u"Kunden"), nullptr);
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"Ready"}));
    EXPECT_EQ(server.ComboList(u"Lieferanten"), nullptr);
}

TEST_F(ComboListServer, ComboListOfAnUnknownNameDeliversNothingWithoutError) {
    server.Init(0);
    EXPECT_EQ(server.ComboList(u"Niemand"), nullptr);
    EXPECT_TRUE(counting.opened.empty());
    Define(u"Kunden");
    EXPECT_EQ(server.ComboList(u"Niemand"), nullptr);
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"Ready"}));  // pending lists loaded first
}

TEST_F(ComboListServer, ListWithEmptyConnectStringFailsWithTheDatabaseError) {
    server.Init(0);
    server.AddComboList(u"", u"Kunden", u"Name", u"Nr");
    const AutomationError e = ErrorOf([&] { server.ComboList(u"Kunden"); });
    EXPECT_EQ(e.Number(), kDatabase);
    EXPECT_EQ(e.Source(), u"ODBC");
    EXPECT_TRUE(counting.opened.empty());
    EXPECT_TRUE(Seen().empty());
    // Still pending: every call tries again, and fails again.
    EXPECT_EQ(ErrorOf([&] { server.ComboList(u"Kunden"); }).Number(), kDatabase);
}

TEST_F(ComboListServer, FailingListInTheMiddleStopsTheRunAndIsRetriedWithTheRest) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Preis");  // no such column yet
    Define(u"Kunden AS k", u"Nr", u"Name");
    const AutomationError e = ErrorOf([&] { server.ComboList(u"Kunden"); });
    EXPECT_EQ(e.Number(), kDatabase);
    EXPECT_EQ(e.Source(), u"ODBC");
    EXPECT_NE(e.Description().find(u"Preis"), std::u16string::npos) << ToUtf8(e.Description());
    EXPECT_EQ(Seen(), Events{u"DataSourceReady Kunden"});  // no Ready
    EXPECT_EQ(counting.alive, 0);                          // the run's connection is closed
    EXPECT_TRUE(sleeper.sleeps.empty());

    db.Exec("ALTER TABLE Artikel ADD COLUMN Preis INTEGER");
    db.Done();
    counting.statements.clear();
    Seen().clear();
    auto rs = server.ComboList(u"Artikel");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->FieldAt(1).name, u"Preis");
    EXPECT_EQ(counting.statements,
              (std::vector<std::u16string>{u"SELECT Bez,Preis FROM Artikel",
                                           u"SELECT Nr,Name FROM Kunden AS k"}));
    EXPECT_EQ(Seen(),
              (Events{u"DataSourceReady Artikel", u"DataSourceReady Kunden AS k", u"Ready"}));
}

TEST_F(ComboListServer, FailedReloadKeepsTheLastGoodRecordSetAndStaysMarked) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    auto good = server.ComboList(u"Kunden");
    db.Exec("ALTER TABLE Kunden RENAME COLUMN Nr TO Nummer");
    db.Done();

    server.Refresh(u"Kunden");
    EXPECT_TRUE(timers.Tick());
    EXPECT_NE(errors.str().find("'Kunden'"), std::string::npos) << errors.str();
    // The run stopped but m_Ready stayed true: the good data comes at once.
    EXPECT_EQ(server.ComboList(u"Kunden"), good);
    EXPECT_EQ(good->RecordCount(), 3u);
    EXPECT_TRUE(sleeper.sleeps.empty());

    // Still marked: the next arming retries it.
    db.Exec("ALTER TABLE Kunden RENAME COLUMN Nummer TO Nr");
    db.Done();
    Seen().clear();
    server.Refresh(u"Artikel");
    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
    EXPECT_NE(server.ComboList(u"Kunden"), good);
}

TEST_F(ComboListServer, TimerRunErrorIsOneLineOnTheErrorStreamAndTheServerGoesOn) {
    server.Init(0);
    Define(u"Kunden", u"Name", u"Fehlt");
    EXPECT_TRUE(timers.Tick());
    const std::string line = errors.str();
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    for (const char* part : {"'Kunden'", "0x80004005", "(ODBC)", "Fehlt"}) {
        EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
    }
    EXPECT_FALSE(Timer().Armed());
    EXPECT_EQ(counting.alive, 0);
    Define(u"Artikel", u"Bez", u"Id");
    EXPECT_EQ(ErrorOf([&] { server.ComboList(u"Artikel"); }).Number(), kDatabase);
}

TEST_F(ComboListServer, ComboListFromADataSourceReadyHandlerOfAFirstLoadTimesOut) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    std::vector<AutomationError> nested;
    recorder->onDataSourceReady = [&](const std::u16string& name) {
        if (name == u"Kunden") {
            nested.push_back(ErrorOf([&] { server.ComboList(u"Kunden"); }));
        }
    };
    timers.Tick();
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0].Number(), kTimeout);
    EXPECT_EQ(nested[0].Source(), u"VXBComboServer");
    EXPECT_EQ(nested[0].Description(),
              u"Es dauerte zu lange, bis die Aktion ausgeführt werden konnte.");
    EXPECT_EQ(sleeper.sleeps, std::vector<std::int32_t>(10, 1000));
    // The outer run carries on to its end.
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
    EXPECT_EQ(counting.opened.size(), 1u);
}

TEST_F(ComboListServer, ComboListFromADataSourceReadyHandlerOfAReloadGetsTheFreshList) {
    server.Init(0);
    Define(u"Kunden");
    auto before = server.ComboList(u"Kunden");
    std::shared_ptr<const RecordSet> nested;
    recorder->onDataSourceReady = [&](const std::u16string& name) {
        nested = server.ComboList(name);
    };
    server.Refresh(u"Kunden");
    timers.Tick();
    ASSERT_NE(nested, nullptr);
    EXPECT_NE(nested, before);
    EXPECT_EQ(nested, server.ComboList(u"Kunden"));
    EXPECT_TRUE(sleeper.sleeps.empty());
}

TEST_F(ComboListServer, ReadyHandlerCanFetchEveryList) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    std::vector<std::size_t> counts;
    recorder->onReady = [&] {
        counts.push_back(server.ComboList(u"Kunden")->RecordCount());
        counts.push_back(server.ComboList(u"Artikel")->RecordCount());
    };
    timers.Tick();
    EXPECT_EQ(counts, (std::vector<std::size_t>{3, 1}));
    EXPECT_TRUE(sleeper.sleeps.empty());
}

TEST_F(ComboListServer, ListAddedFromAHandlerWaitsForTheRunItArmed) {
    server.Init(0);
    Define(u"Kunden");
    recorder->onDataSourceReady = [&](const std::u16string& name) {
        if (name == u"Kunden") {
            Define(u"Artikel", u"Bez", u"Id");
        }
    };
    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"Ready"}));
    EXPECT_TRUE(Timer().Armed());
    EXPECT_EQ(server.ComboList(u"Artikel"), nullptr);  // m_Ready rose at the end of the run
    timers.Tick();
    EXPECT_NE(server.ComboList(u"Artikel"), nullptr);
    EXPECT_EQ(Seen().back(), u"Ready");
}

TEST_F(ComboListServer, RefreshFromAHandlerArmsAnotherRun) {
    server.Init(0);
    Define(u"Kunden");
    recorder->onDataSourceReady = [&](const std::u16string&) {
        // A nested refresh marks the list again and re-arms the timer.
        server.Refresh(u"Kunden");
    };
    timers.Tick();
    EXPECT_TRUE(Timer().Armed());
    recorder->onDataSourceReady = nullptr;
    Seen().clear();
    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"Ready"}));
}

TEST_F(ComboListServer, InitDropsEveryListAndIsReadyAgain) {
    server.Init(0);
    Define(u"Kunden");
    server.ComboList(u"Kunden");
    server.Init(12345);
    EXPECT_FALSE(Timer().Armed());
    counting.opened.clear();
    EXPECT_EQ(server.ComboList(u"Kunden"), nullptr);
    EXPECT_TRUE(counting.opened.empty());  // ready at once, nothing to load
    EXPECT_EQ(timers.Created(), 2u);
}

TEST_F(ComboListServer, InitFromAHandlerDuringARunDoesNotBreakTheRun) {
    server.Init(0);
    Define(u"Kunden");
    Define(u"Artikel", u"Bez", u"Id");
    recorder->onDataSourceReady = [&](const std::u16string& name) {
        if (name == u"Kunden") {
            server.Init(0);
        }
    };
    timers.Tick();
    EXPECT_EQ(Seen(), (Events{u"DataSourceReady Kunden", u"DataSourceReady Artikel", u"Ready"}));
    EXPECT_EQ(server.ComboList(u"Artikel"), nullptr);
}

}  // namespace
}  // namespace trx
