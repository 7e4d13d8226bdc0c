#include "app/windowjobs.h"

CWindowJobs::CWindowJobs() : m_relay(std::make_unique<QObject>()) {
  // A few lookups at once at most; more wait their turn.
  m_pool.setMaxThreadCount(4);
}

CWindowJobs::~CWindowJobs() { WaitForAll(); }

void CWindowJobs::WaitForAll() { m_pool.waitForDone(); }

CWindowJobs& CWindowJobs::Shared() {
  static CWindowJobs jobs;
  return jobs;
}
