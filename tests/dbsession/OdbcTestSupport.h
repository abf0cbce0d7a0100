#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "auditscript/GenerationRun.h"
#include "auditscript/ScriptWindow.h"
#include "dbsession/DBFuncs.h"
#include "support/TempFolder.h"

namespace qelt {

inline void PrintTo(const Field& field, std::ostream* out) {
    *out << "{\"" << field.Name << "\", " << field.Type << "}";
}

}  // namespace qelt

namespace qelt::test {

// Every file below a folder with its bytes and modification time: equal snapshots mean that
// nothing was created, removed or written.
struct FolderSnapshot {
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;

    static FolderSnapshot Of(const std::filesystem::path& folder) {
        FolderSnapshot snapshot;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            snapshot.files[entry.path().string()] = {
                entry.is_regular_file() ? ReadBytes(entry.path()) : std::string(),
                entry.last_write_time()};
        }
        return snapshot;
    }
    friend bool operator==(const FolderSnapshot&, const FolderSnapshot&) = default;
};

// The window of a generation run without a screen: keeps the script and the one message.
class HeadlessWindow final : public ScriptWindow {
  public:
    HeadlessWindow(std::string table, std::string database)
        : table_(std::move(table)), database_(std::move(database)) {}

    std::string ItemTableText() override { return table_; }
    std::string DatabaseNameText() override { return database_; }
    ScriptBuffer& Script() override { return script_; }
    void ShowMessage(const std::string& text, MessageStyle, const std::string& details) override {
        messages_.push_back(text);
        details_.push_back(details);
    }
    void SetBusyPointer() override {}
    void ResetPointer() override {}

    const std::vector<std::string>& Messages() const { return messages_; }
    const std::vector<std::string>& Details() const { return details_; }

  private:
    std::string table_;
    std::string database_;
    ScriptBuffer script_;
    std::vector<std::string> messages_;
    std::vector<std::string> details_;
};

// The names and ADO types of a recordset's fields; what more the driver told is left out.
inline std::vector<Field> FieldsOf(const Recordset& recordset) {
    std::vector<Field> fields;
    const Fields& all = recordset.GetFields();
    for (std::int32_t i = 0; i < all.Count(); ++i) {
        fields.emplace_back(all.Item(i).Name, all.Item(i).Type);
    }
    return fields;
}

}  // namespace qelt::test
