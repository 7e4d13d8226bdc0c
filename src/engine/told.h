#pragma once

#include <functional>
#include <string>

class CTask;

// A message the program tells the user beyond its own window (e-mail,
// webhook, phone, desktop): a change the user asked to be told of, or a
// task's failure alert. Texts are in the local code page.
struct ToldMessage {
  std::string kind = "change";  // "change", "failure" or "test"
  std::string productName;
  std::string link;
  std::string oldPrice;
  std::string newPrice;
  std::string currency;
  int stock = -1;    // 1 in stock, 0 out of stock, -1 undetermined
  std::string text;  // the one-line change (or failure) text
  // What the price history says of a drop ("近90天最低", "先涨后降：…"), shown
  // beside the text; empty for none.
  std::string verdict;
  std::string time;  // local time "YYYY-MM-DD HH:MM:SS"
};

// Where told messages go; the program's one is the notifier of the services
// layer. Called on the thread that tells, must not block.
using TellFunction = std::function<void(const ToldMessage& message)>;

// The message of a task's change after a pass, from its fields.
ToldMessage MakeToldMessage(const CTask& task, const std::string& text,
                            const std::string& kind = "change");
