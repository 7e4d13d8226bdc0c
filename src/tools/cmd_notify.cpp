// vantrelctl notify-test: a test message through the notification channels.
#include <cstdio>
#include <string>
#include <vector>

#include "base/outputfield.h"
#include "services/notify.h"
#include "tools/command.h"

namespace {

int RunNotifyTest(const std::vector<std::string>& args) {
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: vantrelctl notify-test [CHANNEL]\n");
    return 2;
  }
  NotifyChannel only = NotifyChannel::kMail;
  if (!args.empty() && !ChannelFromName(args[0], only)) {
    std::fprintf(stderr, "vantrelctl notify-test: no channel named %s\n", args[0].c_str());
    return 2;
  }
  const ToldMessage message = MakeTestMessage();

  const NotifySettings settings = ReadNotifySettings();
  int failures = 0;
  int tried = 0;
  for (NotifyChannel channel : kAllChannels) {
    if (!args.empty() && channel != only) continue;
    if (args.empty() && !ChannelEnabled(settings, channel)) {
      std::printf("%s\toff\n", ChannelName(channel));
      continue;
    }
    ++tried;
    const std::string error = SendToChannel(channel, settings, message, nullptr);
    if (error.empty()) {
      std::printf("%s\tsent\n", ChannelName(channel));
    } else {
      ++failures;
      std::printf("%s\tfailed\t%s\n", ChannelName(channel), EscapeOutputField(error).c_str());
    }
  }
  return failures > 0 || tried == 0 ? 1 : 0;
}

}  // namespace

VANTREL_COMMAND(notify_test, "notify-test", "[CHANNEL]",
                "Sends a test message through the notification channels of section \"Notify\"\n"
                "of config.ini (mail, webhook, ntfy, telegram, desktop), one try each, and\n"
                "prints one line per channel: \"NAME<TAB>sent\", \"NAME<TAB>failed<TAB>ERROR\"\n"
                "or \"NAME<TAB>off\" (no link or token set). With CHANNEL, only that channel\n"
                "is tried, even when it is off. The desktop channel needs the window\n"
                "program; here it always fails.\n"
                "Exit status 1 when a channel failed or none was tried, 2 for a wrong\n"
                "command line.",
                RunNotifyTest);
