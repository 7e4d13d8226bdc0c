#include "app/windowjobs.h"

#include <QCoreApplication>

CWindowJobs::CWindowJobs() : m_relay(std::make_unique<QObject>()) {
  // A few lookups at once at most; more wait their turn.
  m_pool.setMaxThreadCount(4);
}

CWindowJobs::~CWindowJobs() { WaitForAll(); }

void CWindowJobs::WaitForAll() { m_pool.waitForDone(); }

CWindowJobs& CWindowJobs::Shared() {
  static CWindowJobs jobs;
  // Work still running when the program ends would outlive the statics it
  // reads: it is waited for as the application goes, before they go.
  static const bool waitsAtQuit = [] {
    qAddPostRoutine([] { jobs.WaitForAll(); });
    return true;
  }();
  (void)waitsAtQuit;
  return jobs;
}
