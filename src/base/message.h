#pragma once

#include <functional>
#include <string>

// Results of ShowMessage, as the Windows message boxes give them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Kinds of box: information with "确定", or a question with "是", "否", "取消".
inline constexpr int kMessageInfo = 1;
inline constexpr int kMessageQuestion = 2;

// Shows a string-table message and returns the button chosen. Kind 1 gives
// IDOK, kind 2 IDYES, IDNO or IDCANCEL; any other kind shows nothing and
// gives 0. Callable from any thread; a box shown from a worker blocks only
// that worker.
int ShowMessage(unsigned id, int kind);

// The same for a message whose text is built around the string (a name put
// before it, a path inside it): the handler gets `id` and `localText`.
int ShowMessageText(unsigned id, int kind, const std::string& localText);

// Whether a message reports a success ("登录成功！", a finished import): its
// box shows the information picture rather than the warning one.
bool IsSuccessMessage(unsigned id);

// The handler that shows kinds 1 and 2: the windows install theirs; the
// default writes the text (UTF-8) to stderr and answers IDOK or IDNO.
using MessageHandler = std::function<int(unsigned id, int kind, const std::string& localText)>;
void SetMessageHandler(MessageHandler handler);
