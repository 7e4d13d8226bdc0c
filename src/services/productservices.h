#pragma once

#include <memory>
#include <mutex>

#include "engine/productfiles.h"
#include "services/account.h"

class CSiteList;

// The account a window signed in with, kept where the add and delete
// workers can read it: a login without "自动登录" leaves config.ini empty.
class CPublishedAccount {
 public:
  void Publish(const CAccount& account);
  CAccount Get() const;

 private:
  mutable std::mutex m_lock;
  CAccount m_account;
};

// The program's services for adding and deleting tasks: the shop-link
// cleaning, the comparison and history servers (their files written
// whatever the servers answered), the commission-link service, and the
// account the reports go to: `account` as last published, or with none the
// one of section "User" in config.ini. `sites` (may be null) names the
// comparison's offers of configured shops.
ProductServices ProgramProductServices(const CSiteList* sites,
                                       std::shared_ptr<const CPublishedAccount> account = nullptr);
