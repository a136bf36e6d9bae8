#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "combolist/VXComboDBEvents.h"
#include "platform/Database.h"
#include "platform/Sleep.h"

namespace trx::test {

// Passes every call to the real database layer and records what went by:
// the connect strings opened, the statements run, the connections alive.
class CountingConnectionFactory final : public ConnectionFactory {
  public:
    explicit CountingConnectionFactory(ConnectionFactory& real) : real_(real) {}

    std::unique_ptr<Connection> Open(const std::u16string& connectString,
                                     const std::u16string& userId, const std::u16string& password,
                                     std::int32_t options) override {
        opened.push_back(connectString);
        auto inner = real_.Open(connectString, userId, password, options);
        return std::make_unique<Counted>(*this, std::move(inner));
    }

    std::vector<std::u16string> opened;
    std::vector<std::u16string> statements;
    int alive = 0;

  private:
    class Counted final : public Connection {
      public:
        Counted(CountingConnectionFactory& owner, std::unique_ptr<Connection> inner)
            : owner_(owner), inner_(std::move(inner)) {
            ++owner_.alive;
        }
        ~Counted() override { Close(); }
        std::shared_ptr<const RecordSet> OpenRecordSet(const std::u16string& statement) override {
            owner_.statements.push_back(statement);
            return inner_->OpenRecordSet(statement);
        }
        void Close() override {
            if (inner_) {
                inner_->Close();
                inner_.reset();
                --owner_.alive;
            }
        }

      private:
        CountingConnectionFactory& owner_;
        std::unique_ptr<Connection> inner_;
    };

    ConnectionFactory& real_;
};

// Records the sleeps asked for and returns at once; `between` runs in each.
class FakeSleeper final : public Sleeper {
  public:
    void Sleep(std::int32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        if (between) {
            between();
        }
    }
    std::vector<std::int32_t> sleeps;
    std::function<void()> between;
};

// Writes each event as a line ("DataSourceReady Kunden", "Ready") and runs
// the test's handlers, which may call the object back.
class EventRecorder final : public VXComboDBEvents {
  public:
    void DataSourceReady(const std::u16string& name) override {
        events.push_back(u"DataSourceReady " + name);
        if (onDataSourceReady) {
            onDataSourceReady(name);
        }
    }
    void Ready() override {
        events.push_back(u"Ready");
        if (onReady) {
            onReady();
        }
    }
    std::vector<std::u16string> events;
    std::function<void(const std::u16string&)> onDataSourceReady;
    std::function<void()> onReady;
};

}  // namespace trx::test
