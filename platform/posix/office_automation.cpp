// The office automation server of this platform: it keeps the workbook or
// document that the automation calls build, and on SaveAs hands it to
// LibreOffice (headless, private profile) as a flat OpenDocument file to be
// written in the format the file name asks for. Member and argument names
// are matched without regard to letter case, as COM does; an unknown member
// is an error that names it.
#include <memory>
#include <stdexcept>

#include "platform/ascii_case.h"
#include "platform/line_breaks.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"
#include "platform/posix/flat_odf.h"
#include "platform/posix/office_convert.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string Folded(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = ascii::ToLower(c);
  return out;
}

// The arguments of one call: positional ones first, named ones after.
struct Args {
  const std::string& member;
  const std::vector<Variant>& positional;
  const std::vector<NamedArg>& named;

  // The argument given by `name` (any case) or else at `position`; nullptr
  // when the call has neither.
  const Variant* Find(size_t position, const char* name) const {
    const std::string wanted = Folded(name);
    for (const NamedArg& arg : named)
      if (Folded(arg.name) == wanted) return &arg.value;
    if (position < positional.size() && !std::holds_alternative<std::monostate>(positional[position]))
      return &positional[position];
    return nullptr;
  }
  const Variant& Need(size_t position, const char* name) const {
    if (const Variant* v = Find(position, name)) return *v;
    throw std::runtime_error(member + ": argument " + name + " is missing");
  }
  long Long(size_t position, const char* name) const {
    const Variant& v = Need(position, name);
    if (const long* n = std::get_if<long>(&v)) return *n;
    throw std::runtime_error(member + ": argument " + name + " must be an integer");
  }
  std::optional<long> OptionalLong(size_t position, const char* name) const {
    if (!Find(position, name)) return std::nullopt;
    return Long(position, name);
  }
  std::string Text(size_t position, const char* name) const {
    const Variant& v = Need(position, name);
    if (const std::string* s = std::get_if<std::string>(&v)) return *s;
    throw std::runtime_error(member + ": argument " + name + " must be a text");
  }
  fs::path FileName(size_t position, const char* name) const {
    const Variant& v = Need(position, name);
    if (const fs::path* p = std::get_if<fs::path>(&v)) return *p;
    if (const std::string* s = std::get_if<std::string>(&v)) {
      const std::string utf8 = Cp936ToUtf8(*s);
      return fs::path(std::u8string(utf8.begin(), utf8.end()));
    }
    throw std::runtime_error(member + ": argument " + name + " must be a file name");
  }
};

// One object of the model. Get and Call reach the same members, as COM's
// property-get-or-method calls do; Put has its own.
class ModelObject : public DispatchObject, public std::enable_shared_from_this<ModelObject> {
 public:
  explicit ModelObject(std::string typeName) : typeName_(std::move(typeName)) {}

  Variant Get(const std::string& member, const std::vector<Variant>& index) override {
    return Invoke(Folded(member), Args{member, index, kNoNamed});
  }
  void Put(const std::string& member, const Variant& value) override {
    PutMember(Folded(member), member, value);
  }
  Variant Call(const std::string& member, const std::vector<Variant>& positional,
               const std::vector<NamedArg>& named) override {
    return Invoke(Folded(member), Args{member, positional, named});
  }

 protected:
  virtual Variant Invoke(const std::string& folded, const Args& args) = 0;
  virtual void PutMember(const std::string& /*folded*/, const std::string& member, const Variant&) {
    throw std::runtime_error(typeName_ + " has no property " + member + " to set");
  }
  [[noreturn]] void Unknown(const std::string& member) const {
    throw std::runtime_error(typeName_ + " has no member " + member);
  }

 private:
  static inline const std::vector<NamedArg> kNoNamed{};
  std::string typeName_;
};

// ---------------------------------------------------------------- workbook

// A cell address such as "I120" or "$B$2": column and row from 0.
bool ParseCell(const std::string& text, int& row, int& column) {
  size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  long col = 0;
  size_t letters = 0;
  while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])) && letters < 3) {
    col = col * 26 + (ascii::ToUpper(text[i]) - 'A' + 1);
    ++i, ++letters;
  }
  if (i < text.size() && text[i] == '$') ++i;
  long r = 0;
  size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 8) {
    r = r * 10 + (text[i] - '0');
    ++i, ++digits;
  }
  if (letters == 0 || digits == 0 || i != text.size() || r < 1) return false;
  row = static_cast<int>(r - 1);
  column = static_cast<int>(col - 1);
  return true;
}

struct SheetData {
  odf::SheetCells cells;
  void Set(int row, int column, std::string text) {
    if (cells.size() <= static_cast<size_t>(row)) cells.resize(static_cast<size_t>(row) + 1);
    auto& line = cells[static_cast<size_t>(row)];
    if (line.size() <= static_cast<size_t>(column)) line.resize(static_cast<size_t>(column) + 1);
    line[static_cast<size_t>(column)] = std::move(text);
  }
};

class CellRange final : public ModelObject {
 public:
  CellRange(std::shared_ptr<SheetData> sheet, int top, int left, int bottom, int right)
      : ModelObject("Range"), sheet_(std::move(sheet)), top_(top), left_(left), bottom_(bottom),
        right_(right) {}

 protected:
  Variant Invoke(const std::string&, const Args& args) override { Unknown(args.member); }
  void PutMember(const std::string& folded, const std::string& member,
                 const Variant& value) override {
    if (folded != "value") ModelObject::PutMember(folded, member, value);
    const size_t rows = static_cast<size_t>(bottom_ - top_ + 1);
    const size_t cols = static_cast<size_t>(right_ - left_ + 1);
    if (const std::string* text = std::get_if<std::string>(&value)) {
      for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < cols; ++c) Set(r, c, *text);
      return;
    }
    const TextBlock* block = std::get_if<TextBlock>(&value);
    if (!block) throw std::runtime_error("Value: only a text or a block of texts can be set");
    if (block->size() != rows)
      throw std::runtime_error("Value: the block has " + std::to_string(block->size()) +
                               " rows, the range " + std::to_string(rows));
    for (size_t r = 0; r < rows; ++r) {
      if ((*block)[r].size() != cols)
        throw std::runtime_error("Value: row " + std::to_string(r + 1) + " of the block has " +
                                 std::to_string((*block)[r].size()) + " columns, the range " +
                                 std::to_string(cols));
      for (size_t c = 0; c < cols; ++c) Set(r, c, (*block)[r][c]);
    }
  }

 private:
  void Set(size_t r, size_t c, const std::string& text) {
    sheet_->Set(top_ + static_cast<int>(r), left_ + static_cast<int>(c), text);
  }
  std::shared_ptr<SheetData> sheet_;
  int top_, left_, bottom_, right_;
};

class Worksheet final : public ModelObject {
 public:
  explicit Worksheet(std::shared_ptr<SheetData> data)
      : ModelObject("Worksheet"), data_(std::move(data)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded != "range") Unknown(args.member);
    const std::string address = args.Text(0, "Cell1");
    const size_t colon = address.find(':');
    int top, left, bottom, right;
    const bool ok =
        ParseCell(address.substr(0, colon), top, left) &&
        (colon == std::string::npos ? (bottom = top, right = left, true)
                                    : ParseCell(address.substr(colon + 1), bottom, right));
    if (!ok || bottom < top || right < left || right >= 16384 || bottom >= 1048576)
      throw std::runtime_error("Range: no range at address " + address);
    return DispatchRef(std::make_shared<CellRange>(data_, top, left, bottom, right));
  }

 private:
  std::shared_ptr<SheetData> data_;
};

// Word's character positions count characters, so a double-byte character
// of the CP936 text counts one.
long CharacterCount(const std::string& cp936) {
  long count = 0;
  for (size_t i = 0; i < cp936.size(); ++i, ++count) {
    const unsigned char c = static_cast<unsigned char>(cp936[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < cp936.size()) ++i;
  }
  return count;
}

std::string ColumnName(size_t column) {
  std::string name;
  for (size_t n = column + 1; n > 0; n = (n - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  return name;
}

// An Excel 97 sheet holds 65,536 rows of 256 columns and 32,767 characters
// a cell; LibreOffice would cut what is more and still report success. A
// sheet that does not fit is refused whole, with the reason for the user.
void CheckFitsExcel97(const odf::SheetCells& cells) {
  constexpr size_t kRows = 65536, kColumns = 256;
  constexpr long kCharacters = 32767;
  if (cells.size() > kRows)
    throw UserFacingError("表格有 " + std::to_string(cells.size()) +
                          " 行，超过 .xls 工作表最多的 65536 行");
  for (size_t r = 0; r < cells.size(); ++r) {
    if (cells[r].size() > kColumns)
      throw UserFacingError("表格有 " + std::to_string(cells[r].size()) +
                            " 列，超过 .xls 工作表最多的 256 列");
    for (size_t c = 0; c < cells[r].size(); ++c) {
      const long length = CharacterCount(cells[r][c]);
      if (length > kCharacters)
        throw UserFacingError("单元格 " + ColumnName(c) + std::to_string(r + 1) + " 有 " +
                              std::to_string(length) + " 个字符，超过 .xls 单元格最多的 32767 个");
    }
  }
}

class Workbook final : public ModelObject {
 public:
  explicit Workbook(fs::path soffice)
      : ModelObject("Workbook"), soffice_(std::move(soffice)),
        sheet_(std::make_shared<SheetData>()) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "sheets" || folded == "worksheets") {
      const long index = args.Long(0, "Index");
      if (index != 1) throw std::runtime_error("Sheets: no sheet " + std::to_string(index));
      return DispatchRef(std::make_shared<Worksheet>(sheet_));
    }
    if (folded == "saveas") {
      const fs::path target = args.FileName(0, "Filename");
      if (office::ConversionFor(target) == "xls:MS Excel 97") CheckFitsExcel97(sheet_->cells);
      office::SaveThroughOffice(soffice_, odf::FlatSpreadsheet(sheet_->cells), "fods", target);
      return {};
    }
    if (folded == "close") return {};  // the content goes with the object
    Unknown(args.member);
  }

 private:
  fs::path soffice_;
  std::shared_ptr<SheetData> sheet_;
};

class Workbooks final : public ModelObject {
 public:
  explicit Workbooks(fs::path soffice) : ModelObject("Workbooks"), soffice_(std::move(soffice)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "count") return static_cast<long>(books_.size());
    if (folded == "add") {
      books_.push_back(std::make_shared<Workbook>(soffice_));
      return DispatchRef(books_.back());
    }
    Unknown(args.member);
  }

 private:
  fs::path soffice_;
  std::vector<DispatchRef> books_;
};

class ExcelApplication final : public ModelObject {
 public:
  explicit ExcelApplication(fs::path soffice)
      : ModelObject("Excel application"), workbooks_(std::make_shared<Workbooks>(std::move(soffice))) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "workbooks") return DispatchRef(workbooks_);
    if (folded == "quit") return {};  // nothing runs between the calls
    Unknown(args.member);
  }

 private:
  DispatchRef workbooks_;
};

// ---------------------------------------------------------------- document

struct DocumentData {
  odf::TextDocument content;
  bool showSpellingErrors = true;

  // The index of the paragraph that starts at `position`; every paragraph
  // takes its characters and one paragraph mark.
  size_t ParagraphAt(long position) const {
    long start = 0;
    for (size_t p = 0; p < content.paragraphs.size(); ++p) {
      if (start == position) return p;
      start += CharacterCount(content.paragraphs[p]) + 1;
    }
    throw std::runtime_error("Tables.Add: position " + std::to_string(position) +
                             " is not the start of a paragraph");
  }
  long Length() const {
    long length = 0;
    for (const std::string& p : content.paragraphs) length += CharacterCount(p) + 1;
    return length;
  }
};

// What the objects of one table cell share: the document, and the cell's
// place in it (table, row and column from 0).
struct CellPlace {
  std::shared_ptr<DocumentData> doc;
  size_t table;
  int row, column;

  odf::TableCell& Cell() const { return doc->content.tables[table].table.At(row, column); }
};

// An object of one table cell.
class CellPart : public ModelObject {
 public:
  CellPart(std::string typeName, CellPlace place)
      : ModelObject(std::move(typeName)), place_(std::move(place)) {}

 protected:
  CellPlace place_;
};

class ParagraphFormat final : public CellPart {
 public:
  explicit ParagraphFormat(CellPlace place) : CellPart("ParagraphFormat", std::move(place)) {}

 protected:
  Variant Invoke(const std::string&, const Args& args) override { Unknown(args.member); }
  void PutMember(const std::string& folded, const std::string& member,
                 const Variant& value) override {
    if (folded != "alignment") ModelObject::PutMember(folded, member, value);
    const long* n = std::get_if<long>(&value);
    if (!n || *n < 0 || *n > 3)
      throw std::runtime_error("Alignment: the value must be 0, 1, 2 or 3");
    place_.Cell().alignment = static_cast<odf::Alignment>(*n);
  }
};

// The range of one table cell.
class CellTextRange final : public CellPart {
 public:
  explicit CellTextRange(CellPlace place) : CellPart("Range", std::move(place)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    odf::TableCell& cell = place_.Cell();
    if (folded == "insertafter") {
      cell.text += args.Text(0, "Text");
      return {};
    }
    if (folded == "text") return cell.text;
    if (folded == "paragraphformat") return DispatchRef(std::make_shared<ParagraphFormat>(place_));
    Unknown(args.member);
  }
};

class TableCellObject final : public CellPart {
 public:
  explicit TableCellObject(CellPlace place) : CellPart("Cell", std::move(place)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "range") return DispatchRef(std::make_shared<CellTextRange>(place_));
    Unknown(args.member);
  }
};

class TableObject final : public ModelObject {
 public:
  TableObject(std::shared_ptr<DocumentData> doc, size_t table)
      : ModelObject("Table"), doc_(std::move(doc)), table_(table) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded != "cell") Unknown(args.member);
    const odf::Table& table = doc_->content.tables[table_].table;
    const long row = args.Long(0, "Row");
    const long column = args.Long(1, "Column");
    if (row < 1 || row > table.rows || column < 1 || column > table.columns)
      throw std::runtime_error("Cell: the table has no cell at row " + std::to_string(row) +
                               ", column " + std::to_string(column));
    return DispatchRef(std::make_shared<TableCellObject>(
        CellPlace{doc_, table_, static_cast<int>(row - 1), static_cast<int>(column - 1)}));
  }

 private:
  std::shared_ptr<DocumentData> doc_;
  size_t table_;
};

// A range of document positions.
class DocumentRange final : public ModelObject {
 public:
  DocumentRange(std::shared_ptr<DocumentData> doc, long start, long end)
      : ModelObject("Range"), doc_(std::move(doc)), start_(start), end_(end) {}
  const DocumentData* Document() const { return doc_.get(); }
  long Start() const { return start_; }

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "start") return start_;
    if (folded == "end") return end_;
    Unknown(args.member);
  }

 private:
  std::shared_ptr<DocumentData> doc_;
  long start_, end_;
};

class Tables final : public ModelObject {
 public:
  explicit Tables(std::shared_ptr<DocumentData> doc) : ModelObject("Tables"), doc_(std::move(doc)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "count") return static_cast<long>(doc_->content.tables.size());
    if (folded != "add") Unknown(args.member);
    const Variant& where = args.Need(0, "Range");
    const DispatchRef* object = std::get_if<DispatchRef>(&where);
    const auto* range = object ? dynamic_cast<const DocumentRange*>(object->get()) : nullptr;
    if (!range || range->Document() != doc_.get())
      throw std::runtime_error("Tables.Add: the first argument must be a range of this document");
    const long rows = args.Long(1, "NumRows");
    const long columns = args.Long(2, "NumColumns");
    if (rows < 1 || columns < 1 || rows > 32767 || columns > 63)
      throw std::runtime_error("Tables.Add: a table of " + std::to_string(rows) + " rows and " +
                               std::to_string(columns) + " columns cannot be made");
    odf::TextDocument::PlacedTable placed;
    placed.beforeParagraph = doc_->ParagraphAt(range->Start());
    placed.table.rows = static_cast<int>(rows);
    placed.table.columns = static_cast<int>(columns);
    placed.table.cells.resize(static_cast<size_t>(rows * columns));
    doc_->content.tables.push_back(std::move(placed));
    return DispatchRef(std::make_shared<TableObject>(doc_, doc_->content.tables.size() - 1));
  }

 private:
  std::shared_ptr<DocumentData> doc_;
};

// The insertion point, at the end of the document it was taken from.
class Selection final : public ModelObject {
 public:
  explicit Selection(std::shared_ptr<DocumentData> doc)
      : ModelObject("Selection"), doc_(std::move(doc)) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    auto& paragraphs = doc_->content.paragraphs;
    if (folded == "typetext") {
      // A paragraph mark inside the typed text starts a new paragraph.
      const std::string text = args.Text(0, "Text");
      const std::vector<std::string_view> lines = SplitLines(text);
      paragraphs.back() += lines.front();
      for (size_t i = 1; i < lines.size(); ++i) paragraphs.emplace_back(lines[i]);
      return {};
    }
    if (folded == "typeparagraph") {
      paragraphs.emplace_back();
      return {};
    }
    Unknown(args.member);
  }

 private:
  std::shared_ptr<DocumentData> doc_;
};

class Document final : public ModelObject {
 public:
  explicit Document(fs::path soffice)
      : ModelObject("Document"), soffice_(std::move(soffice)),
        data_(std::make_shared<DocumentData>()) {}
  const std::shared_ptr<DocumentData>& Data() const { return data_; }

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "range") {
      const long length = data_->Length();
      const long start = args.OptionalLong(0, "Start").value_or(0);
      const long end = args.OptionalLong(1, "End").value_or(length);
      if (start < 0 || end < start || end > length)
        throw std::runtime_error("Range: no range from " + std::to_string(start) + " to " +
                                 std::to_string(end));
      return DispatchRef(std::make_shared<DocumentRange>(data_, start, end));
    }
    if (folded == "tables") return DispatchRef(std::make_shared<Tables>(data_));
    if (folded == "showspellingerrors") return data_->showSpellingErrors;
    if (folded == "saveas") {
      office::SaveThroughOffice(soffice_, odf::FlatText(data_->content), "fodt",
                                args.FileName(0, "FileName"));
      return {};
    }
    if (folded == "close") return {};  // the content goes with the object
    Unknown(args.member);
  }
  void PutMember(const std::string& folded, const std::string& member,
                 const Variant& value) override {
    if (folded != "showspellingerrors") ModelObject::PutMember(folded, member, value);
    const bool* on = std::get_if<bool>(&value);
    if (!on) throw std::runtime_error("ShowSpellingErrors: the value must be true or false");
    data_->showSpellingErrors = *on;
  }

 private:
  fs::path soffice_;
  std::shared_ptr<DocumentData> data_;
};

class Documents final : public ModelObject {
 public:
  explicit Documents(fs::path soffice) : ModelObject("Documents"), soffice_(std::move(soffice)) {}
  std::shared_ptr<Document> Active() const { return documents_.empty() ? nullptr : documents_.back(); }

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "count") return static_cast<long>(documents_.size());
    if (folded == "add") {
      documents_.push_back(std::make_shared<Document>(soffice_));
      return DispatchRef(documents_.back());
    }
    Unknown(args.member);
  }

 private:
  fs::path soffice_;
  std::vector<std::shared_ptr<Document>> documents_;
};

class WordApplication final : public ModelObject {
 public:
  explicit WordApplication(fs::path soffice)
      : ModelObject("Word application"), documents_(std::make_shared<Documents>(std::move(soffice))) {}

 protected:
  Variant Invoke(const std::string& folded, const Args& args) override {
    if (folded == "documents") return DispatchRef(documents_);
    if (folded == "selection") {
      const std::shared_ptr<Document> active = documents_->Active();
      if (!active) throw std::runtime_error("Selection: no document is open");
      return DispatchRef(std::make_shared<Selection>(active->Data()));
    }
    if (folded == "quit") return {};
    Unknown(args.member);
  }

 private:
  std::shared_ptr<Documents> documents_;
};

class LibreOfficeServer final : public AutomationServer {
 public:
  std::optional<OfficeApplication> Obtain(const std::string& progId) override {
    const std::string id = Folded(progId);
    if (id != "excel.application" && id != "word.application") return std::nullopt;
    const std::optional<fs::path> soffice = office::FindSoffice();
    if (!soffice) return std::nullopt;
    OfficeApplication office;
    if (id == "excel.application")
      office.application = std::make_shared<ExcelApplication>(*soffice);
    else
      office.application = std::make_shared<WordApplication>(*soffice);
    office.alreadyRunning = false;  // every export starts its own, headless
    return office;
  }
  bool Installed(const std::string& progId) override {
    const std::string id = Folded(progId);
    return (id == "excel.application" || id == "word.application") &&
           office::FindSoffice().has_value();
  }
};

}  // namespace

AutomationServer& PlatformAutomationServer() {
  static LibreOfficeServer server;
  return server;
}

// LibreOffice is only recommended by the package, and many desktops have
// another office suite (WPS) that cannot be driven this way.
std::string MissingApplicationAdvice(const std::string& progId) {
  const bool excel = Folded(progId) == "excel.application";
  const std::string what = excel ? "Excel 文件" : "Word 文档";
  const std::string program = excel ? "LibreOffice Calc" : "LibreOffice Writer";
  const std::string package = excel ? "libreoffice-calc" : "libreoffice-writer";
  return "导出 " + what + "需要 " + program + "，本机没有找到（WPS 不能代替它）。\n" +
         "请管理员安装：sudo apt install " + package + "\n" +
         "或从 https://zh-cn.libreoffice.org 下载安装。\n" +
         "CSV、文本和网页格式不需要它。";
}

}  // namespace platform
