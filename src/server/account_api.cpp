#include "server/account_api.h"

namespace {

constexpr const char* kTaskListHead = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<TaskList>";
constexpr const char* kTaskListTail = "</TaskList>";
// Records read from the database for one piece of a task list: a piece
// of 16 KB records is 256 KB, which each client reading a list may hold.
constexpr int kRecordsPerPiece = 16;

}  // namespace

// One task record as the program writes it: a single Task element.
bool CAccountApi::IsTaskRecord(const std::string& record) const {
  if (!IsCleanText(record, m_limits.mostRecordBytes)) return false;
  const std::string open = "<Task>";
  const std::string close = "</Task>";
  return record.rfind(open, 0) == 0 && record.size() >= open.size() + close.size() &&
         record.compare(record.size() - close.size(), close.size(), close) == 0 &&
         record.find(open, open.size()) == std::string::npos &&
         record.find(close) == record.size() - close.size();
}

std::string NormalisedEmail(const std::string& email) {
  std::string out = email;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

CAccountApi::CAccountApi(CServerStore& store, CPasswordHasher& hasher,
                         std::function<void(const std::string&)> taskAdded, AccountLimits limits)
    : m_store(store), m_hasher(hasher), m_taskAdded(std::move(taskAdded)), m_limits(limits) {}

std::string CAccountApi::FailingReply(const std::string& script) {
  if (script == "login") return kLoginFailed;
  if (script == "task") return kBadRequest;
  return kNumberFailed;
}

bool CAccountApi::Authorised(const FormValues& values, const std::optional<StoredAccount>& account,
                             std::string& email) {
  email = NormalisedEmail(FormValue(values, "u"));
  const std::string password = FormValue(values, "p");
  if (!IsEmailAddress(email) || !IsEncodedPassword(password)) return false;
  return account && account->email == email &&
         m_hasher.Verify(email, password, account->passwordHash);
}

std::string CAccountApi::Login(const FormValues& values,
                               const std::optional<StoredAccount>& account) {
  std::string email;
  return Authorised(values, account, email) ? "1|" + account->nickname : kLoginFailed;
}

std::string CAccountApi::Check(const FormValues& values) {
  const std::string email = NormalisedEmail(FormValue(values, "u"));
  if (FormValue(values, "t") != "email_used" || !IsEmailAddress(email)) return kNumberFailed;
  return m_store.FindAccount(email) ? "1" : "0";
}

std::string CAccountApi::Register(bool post, const FormValues& values) {
  const std::string email = NormalisedEmail(FormValue(values, "u"));
  const std::string password = FormValue(values, "p");
  const std::string nickname = FormValue(values, "n");
  if (!post || !IsEmailAddress(email) || !IsEncodedPassword(password) ||
      !IsCleanText(nickname, kMaxNicknameBytes))
    return kNumberFailed;
  // A taken address is refused before the slow hash is paid for.
  if (m_store.FindAccount(email)) return kNumberFailed;
  const std::string hash = m_hasher.Hash(password);
  if (hash.empty()) return kNumberFailed;
  return m_store.CreateAccount({email, hash, nickname}) ? "1" : kNumberFailed;
}

HttpReply CAccountApi::TaskList(const std::string& email) {
  // A list of thousands of records is never held whole: each piece is read
  // from the database when the client has taken the one before.
  HttpReply reply{200, std::string(), kTaskListHead};
  reply.more = [&store = m_store, email, after = std::int64_t{0},
                ended = false](std::string& piece) mutable {
    if (ended) return StreamStep::kEnd;
    std::optional<std::vector<NumberedRecord>> page =
        store.TaskRecordsAfter(email, after, kRecordsPerPiece);
    if (!page) return StreamStep::kFailed;
    for (const NumberedRecord& numbered : *page) piece += numbered.record;
    ended = page->size() < static_cast<size_t>(kRecordsPerPiece);
    if (ended) piece += kTaskListTail;
    if (!page->empty()) after = page->back().id;
    return StreamStep::kPiece;
  };
  return reply;
}

HttpReply CAccountApi::Task(bool post, const FormValues& values,
                            const std::optional<StoredAccount>& account) {
  auto answer = [](std::string text) { return HttpReply{200, std::string(), std::move(text)}; };
  const std::string act = FormValue(values, "act");
  const bool known = act == "get" || (post && (act == "add" || act == "del"));
  if (!known) return answer(kBadRequest);
  std::string email;
  if (!Authorised(values, account, email)) return answer(kNotAuthorised);

  if (act == "get") return TaskList(email);
  const std::string url = FormValue(values, "url");
  if (!IsProductLink(url)) return answer(kBadRequest);
  if (act == "del") return answer(m_store.DeleteTask(email, url) ? "1" : "0");

  const std::string name = FormValue(values, "name");
  const std::string record = FormValue(values, "tx");
  if (!IsCleanText(name, kMaxNameBytes, true) || !IsTaskRecord(record)) return answer(kBadRequest);
  switch (m_store.AddTask(email, url, name, record, m_limits.mostTasks)) {
    case TaskAddOutcome::kAdded:
      if (m_taskAdded) m_taskAdded(url);
      return answer(kTaskAdded);
    case TaskAddOutcome::kAlreadyThere:
      return answer(kTaskAlreadyThere);
    case TaskAddOutcome::kAccountFull:
      return answer(kAccountFull);
    default:
      return answer(kBadRequest);
  }
}
