#include "app/stopsignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

int g_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already holds a request.
  [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}

}  // namespace

CStopSignal::CStopSignal(QObject* parent) : QObject(parent) {
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &CStopSignal::OnReadable);
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

CStopSignal::~CStopSignal() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
}

void CStopSignal::OnReadable() {
  char buffer[64];
  while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
  emit stopRequested();
}
