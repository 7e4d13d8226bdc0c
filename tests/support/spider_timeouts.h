#pragma once

#include "engine/spider.h"

// Fetch time-outs a test shortens, so that a silent server ends it quickly;
// the program's own come back when the object goes.
class ShortSpiderTimeouts {
 public:
  explicit ShortSpiderTimeouts(const SpiderTimeouts& timeouts) : m_saved(GetSpiderTimeouts()) {
    SetSpiderTimeouts(timeouts);
  }
  ~ShortSpiderTimeouts() { SetSpiderTimeouts(m_saved); }
  ShortSpiderTimeouts(const ShortSpiderTimeouts&) = delete;
  ShortSpiderTimeouts& operator=(const ShortSpiderTimeouts&) = delete;

  const SpiderTimeouts& Saved() const { return m_saved; }

 private:
  SpiderTimeouts m_saved;
};
