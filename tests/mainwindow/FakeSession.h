#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbsession/DBFuncs.h"
#include "dbsession/Error.h"

namespace qelt::gui::test {

// What a fake session answers and what it was asked; shared with the test so that it outlives
// the session the window owns.
struct FakeSessionState {
    std::vector<Field> columns;
    bool opens = true;
    FailureReason openFailure;  // what LastOpenFailure reports
    std::optional<Error> uppercaseError;
    std::optional<Error> openError;
    std::optional<OdbcError> recordsetDriverError;  // a driver's error, thrown as one
    bool returnsNoRecordset = false;       // the run fails after the lines before the SET list
    std::function<void()> onOpenDatabase;  // lets a test look at the window during a run
    std::function<void()> onDestroy;       // lets a test see when the session goes

    std::vector<std::string> databaseNames;
    int openCount = 0;
    bool destroyed = false;
};

class FakeSession final : public DatabaseSession {
  public:
    explicit FakeSession(std::shared_ptr<FakeSessionState> state) : state_(std::move(state)) {}
    ~FakeSession() override {
        state_->destroyed = true;
        if (state_->onDestroy) {
            state_->onDestroy();
        }
    }

    void SetDatabaseName(const std::string& name) override {
        state_->databaseNames.push_back(name);
    }
    bool UppercaseIdentifiers() override {
        if (state_->uppercaseError) {
            throw *state_->uppercaseError;
        }
        return false;
    }
    bool OpenDatabase() override {
        ++state_->openCount;
        if (state_->onOpenDatabase) {
            state_->onOpenDatabase();
        }
        if (state_->openError) {
            throw *state_->openError;
        }
        return state_->opens;
    }
    FailureReason LastOpenFailure() const override { return state_->openFailure; }
    std::unique_ptr<Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                             std::int32_t) override {
        if (state_->recordsetDriverError) {
            throw *state_->recordsetDriverError;
        }
        if (state_->returnsNoRecordset) {
            return nullptr;
        }
        return std::make_unique<ColumnsRecordset>(state_->columns);
    }

  private:
    class ColumnsRecordset final : public Recordset {
      public:
        explicit ColumnsRecordset(std::vector<Field> columns) : fields_(std::move(columns)) {}
        const Fields& GetFields() const override { return fields_; }

      private:
        FieldVector fields_;
    };

    std::shared_ptr<FakeSessionState> state_;
};

}  // namespace qelt::gui::test
