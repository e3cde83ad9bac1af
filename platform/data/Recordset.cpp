// Recordset (Recordset.hpp): fields, rows and the cursor over a buffered result.
#include "platform/data/Recordset.hpp"

#include <strings.h>

#include "platform/automation/ComError.hpp"
#include "platform/data/Connection.hpp"

namespace zev::data {

namespace errors = automation::errors;
namespace {
constexpr const char* kSource = "ZevData.Recordset";
}

const Variant& Field::Value() const {
    const ResultTable& t = rs_->Table();
    if (rs_->Eof()) automation::Raise(errors::kNoCurrentRecord, kSource);
    return t.cells[rs_->row_ * t.columns.size() + column_];
}

const std::string& Field::Name() const {
    return rs_->Table().columns[column_];
}

void Recordset::Open(std::string_view source, const std::shared_ptr<Connection>& connection,
                     int /*cursorType*/, int /*lockType*/, int /*options*/) {
    if (!connection) automation::Raise(errors::kObjectNotSet);
    Recordset result = connection->Execute(source);
    table_ = std::move(result.table_);
    row_ = 0;
}

void Recordset::Close() {
    Table();  // closing a closed result set fails as it would elsewhere
    table_.reset();
    row_ = 0;
}

const ResultTable& Recordset::Table() const {
    if (!table_) automation::Raise(errors::kObjectClosed, kSource);
    return *table_;
}

int32_t Recordset::RecordCount() const {
    return static_cast<int32_t>(Table().RowCount());
}

bool Recordset::Eof() const {
    return row_ >= Table().RowCount();
}

void Recordset::MoveNext() {
    if (Eof()) automation::Raise(errors::kNoCurrentRecord, kSource);
    ++row_;
}

size_t Recordset::FieldCount() const {
    return Table().columns.size();
}

Field Recordset::Fields(size_t index) const {
    if (index >= Table().columns.size()) automation::Raise(errors::kItemNotFound, kSource);
    return Field(*this, index);
}

Field Recordset::Fields(std::string_view name) const {
    const ResultTable& t = Table();
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const std::string& c = t.columns[i];
        if (c.size() == name.size() && strncasecmp(c.data(), name.data(), c.size()) == 0) {
            return Field(*this, i);
        }
    }
    automation::Raise(errors::kItemNotFound, kSource);
}

}  // namespace zev::data
