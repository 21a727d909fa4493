#pragma once
// The query protocol that the browser and the settings record run their
// statements through: close, set the text, open (a select; the whole result
// is read at once, so the record count is known) or execute (a statement
// that returns nothing); first, next, end test; fields by position, always
// as text (CP936). AdoQuery answers it over SQLite; a test can answer it
// from a table of its own, so code written against it needs no database.
#include <string>
#include <utility>

namespace store {

class Query {
 public:
  virtual ~Query() = default;

  virtual void Close() = 0;
  virtual void SetSql(std::string text) = 0;
  // Runs the text as a select and reads its whole result; throws the
  // engine's message when the statement fails.
  virtual void Open() = 0;
  // Runs the text as a statement that returns nothing.
  virtual void ExecSQL() = 0;

  virtual int RecordCount() const = 0;
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  virtual int FieldCount() const = 0;
  // The current record's field as text; NULL reads "".
  virtual std::string Field(int index) const = 0;
};

// Close, set the text, open.
inline void RunSelect(Query& query, std::string statement) {
  query.Close();
  query.SetSql(std::move(statement));
  query.Open();
}

}  // namespace store
