#include "engine/task.h"

#include <strings.h>

#include <cstdlib>

#include "base/codepage.h"
#include "base/files.h"
#include "engine/extract.h"
#include "text/xml.h"

namespace {

// How a saved field is written and read back.
// Every text is written escaped and in UTF-8, which the file declares: a
// link with Chinese characters must read back as it was, not as "?".
enum class FieldKind {
  kText,   // escaped, then converted to UTF-8
  kName,   // as kText; "&nbsp;" is removed when it is read
  kFlag,   // "true" or "false"; anything but "false" reads as 1
  kCount,  // a decimal count; anything else reads as 0
  // Beside CurrentStock, whose flag form reads -1 back as 1: "true" while
  // the stock is undetermined, which puts -1 back when it is read.
  kUndetermined,
};

struct SavedField {
  const char* tag;
  FieldKind kind;
  std::string CTaskValues::*text;
  int CTaskValues::*number;
  bool CTaskValues::*flag;
  // Written only when set, so that tasks without it keep their bytes.
  bool optional = false;
};

// The fields of a "Task" record in the order of the file; the reader finds
// them in the same order.
const SavedField kSavedFields[] = {
    {"Url", FieldKind::kText, &CTaskValues::url, nullptr, nullptr},
    {"ImageLink", FieldKind::kText, &CTaskValues::imageLink, nullptr, nullptr},
    {"ProductName", FieldKind::kName, &CTaskValues::productName, nullptr, nullptr},
    {"ProductID", FieldKind::kText, &CTaskValues::productId, nullptr, nullptr},
    {"FrequencyMinute", FieldKind::kText, &CTaskValues::frequencyMinute, nullptr, nullptr},
    {"FrequencyHour", FieldKind::kText, &CTaskValues::frequencyHour, nullptr, nullptr},
    {"Status", FieldKind::kFlag, nullptr, &CTaskValues::status, nullptr},
    {"SiteName", FieldKind::kText, &CTaskValues::siteName, nullptr, nullptr},
    {"SiteDomain", FieldKind::kText, &CTaskValues::siteDomain, nullptr, nullptr},
    {"TrackPrice", FieldKind::kFlag, nullptr, nullptr, &CTaskValues::trackPrice},
    {"TrackStock", FieldKind::kFlag, nullptr, nullptr, &CTaskValues::trackStock},
    {"CurrentPrice", FieldKind::kText, &CTaskValues::currentPrice, nullptr, nullptr},
    // Stock goes through the flag form: -1 is written "true" and comes back 1;
    // StockUndetermined, further on, brings the -1 back.
    {"CurrentStock", FieldKind::kFlag, nullptr, &CTaskValues::currentStock, nullptr},
    {"LastUpdate", FieldKind::kText, &CTaskValues::lastUpdate, nullptr, nullptr},
    {"PriceUp", FieldKind::kFlag, nullptr, nullptr, &CTaskValues::priceUp},
    {"PriceDown", FieldKind::kFlag, nullptr, nullptr, &CTaskValues::priceDown},
    {"TargetPrice", FieldKind::kText, &CTaskValues::targetPrice, nullptr, nullptr},
    {"GotoUrl", FieldKind::kText, &CTaskValues::gotoUrl, nullptr, nullptr},
    {"Currency", FieldKind::kText, &CTaskValues::currency, nullptr, nullptr, true},
    {"DropPercent", FieldKind::kText, &CTaskValues::dropPercent, nullptr, nullptr, true},
    {"Unobserved", FieldKind::kFlag, nullptr, nullptr, &CTaskValues::unobserved, true},
    {"FailCount", FieldKind::kCount, nullptr, &CTaskValues::failCount, nullptr, true},
    {"FailTime", FieldKind::kText, &CTaskValues::failTime, nullptr, nullptr, true},
    {"FailReason", FieldKind::kText, &CTaskValues::failReason, nullptr, nullptr, true},
    {"StockUndetermined", FieldKind::kUndetermined, nullptr, &CTaskValues::currentStock, nullptr,
     true},
};

// An optional field is left out of the record while it holds its default.
bool IsUnset(const CTaskValues& values, const SavedField& field) {
  if (field.kind == FieldKind::kUndetermined) return values.*field.number != STOCK_UNKNOWN;
  if (field.text) return (values.*field.text).empty();
  if (field.flag) return !(values.*field.flag);
  return values.*field.number == 0;
}

std::string RemoveNbsp(std::string name) {
  static const std::string kNbsp = "&nbsp;";
  size_t at = 0;
  while ((at = name.find(kNbsp, at)) != std::string::npos) name.erase(at, kNbsp.size());
  return name;
}

std::string FieldText(const CTaskValues& values, const SavedField& field) {
  if (field.kind == FieldKind::kCount) return std::to_string(values.*field.number);
  if (field.kind == FieldKind::kUndetermined)
    return values.*field.number == STOCK_UNKNOWN ? "true" : "false";
  if (field.kind == FieldKind::kFlag) {
    bool on = field.number ? values.*field.number != 0 : values.*field.flag;
    return on ? "true" : "false";
  }
  return AnsiToUtf8(XmlEscape(values.*field.text));
}

void SetFieldFromText(CTaskValues& values, const SavedField& field, std::string text) {
  switch (field.kind) {
    case FieldKind::kFlag: {
      bool on = strcasecmp(text.c_str(), "false") != 0;
      if (field.number)
        values.*field.number = on ? 1 : 0;
      else
        values.*field.flag = on;
      break;
    }
    case FieldKind::kName:
      values.*field.text = RemoveNbsp(std::move(text));
      break;
    case FieldKind::kUndetermined:
      if (strcasecmp(text.c_str(), "false") != 0) values.*field.number = STOCK_UNKNOWN;
      break;
    case FieldKind::kCount: {
      char* end = nullptr;
      const long count = std::strtol(text.c_str(), &end, 10);
      const bool valid = end != text.c_str() && *end == '\0' && count >= 0 && count <= 1000000000;
      values.*field.number = valid ? static_cast<int>(count) : 0;
      break;
    }
    default:
      values.*field.text = std::move(text);
  }
}

std::string ReplaceChars(std::string text, const std::string& what, char with) {
  for (char& c : text)
    if (what.find(c) != std::string::npos) c = with;
  return text;
}

}  // namespace

CTask::CTask(CTaskValues values) : m_values(std::move(values)) {
  m_values.productName = RemoveNbsp(std::move(m_values.productName));
}

std::shared_ptr<CTask> CTask::Copy() const {
  std::lock_guard<std::mutex> lock(m_lock);
  auto copy = std::make_shared<CTask>();
  copy->m_values = m_values;
  copy->m_priceState = m_priceState;
  copy->m_stockState = m_stockState;
  copy->m_addMode = m_addMode;
  copy->m_previousPrice = m_previousPrice;
  copy->m_previousStock = m_previousStock;
  copy->m_dealNote = m_dealNote;
  return copy;
}

CTask::CTask(XmlDocument& record, RecordText form) {
  bool observed = false;
  for (const SavedField& field : kSavedFields) {
    if (!record.FindChildElement(field.tag)) continue;
    std::string text = record.GetChildText();
    // Older programs wrote links as raw local bytes next to UTF-8 names: a
    // field that is not UTF-8 is taken as it stands.
    if (form == RecordText::kEachFieldItsOwn && IsValidUtf8(text)) text = Utf8ToLocal(text);
    if (field.text == &CTaskValues::currentPrice || field.number == &CTaskValues::currentStock)
      observed = observed || !text.empty();
    SetFieldFromText(m_values, field, std::move(text));
  }
  // An entry that another tool or a person wrote without price and stock
  // was never observed: its first pass takes them without telling, as for an
  // imported task.
  if (!observed) m_values.unobserved = true;
}

bool CTask::MergeSaved(const CTaskValues& base, const CTaskValues& theirs) {
  std::lock_guard<std::mutex> lock(m_lock);
  bool changed = false;
  for (const SavedField& field : kSavedFields) {
    const std::string before = FieldText(base, field);
    const std::string other = FieldText(theirs, field);
    if (other == before || FieldText(m_values, field) != before) continue;
    if (field.text) m_values.*field.text = theirs.*field.text;
    if (field.number) m_values.*field.number = theirs.*field.number;
    if (field.flag) m_values.*field.flag = theirs.*field.flag;
    changed = true;
  }
  if (changed) m_recordValid = false;
  return changed;
}

void CTask::SetProductName(std::string v) {
  SetSaved(m_values.productName, RemoveNbsp(std::move(v)));
}

int CTask::AddFailure(const std::string& time, const std::string& reason) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_values.failTime = time;
  m_values.failReason = reason;
  m_recordValid = false;
  return ++m_values.failCount;
}

void CTask::ClearFailures() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_values.failCount == 0 && m_values.failReason.empty()) return;
  m_values.failCount = 0;
  m_values.failTime.clear();
  m_values.failReason.clear();
  m_recordValid = false;
}

const std::string& CTask::Record() const {
  if (m_recordValid) return m_record;
  m_record = "<Task>";
  for (const SavedField& field : kSavedFields) {
    if (field.optional && IsUnset(m_values, field)) continue;
    m_record += '<';
    m_record += field.tag;
    m_record += '>';
    m_record += FieldText(m_values, field);
    m_record += "</";
    m_record += field.tag;
    m_record += '>';
  }
  m_record += "</Task>";
  m_recordValid = true;
  return m_record;
}

std::string CTask::ToXml() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return Record();
}

void CTask::AppendXml(std::string& out, CTaskValues* written) const {
  std::lock_guard<std::mutex> lock(m_lock);
  out += Record();
  if (written) *written = m_values;
}

std::string ProductFileKey(const std::string& siteDomain, const std::string& productId) {
  return BoundedFileStem(SafeFileName(ReplaceChars(siteDomain, "|", '_')) + "_" +
                         SafeFileName(productId));
}

std::string ProductFileKey(const CTask& task) {
  CTaskValues values = task.GetValues();
  return ProductFileKey(values.siteDomain, values.productId);
}
