#pragma once

#include <string>

#include "services/shoplinks.h"

class CTask;

// Sharing a tracked product, or the program itself, on one of nine social
// sites: the site's share page is opened in the user's browser with the
// link, a ready-made sentence, the name and the picture filled in. The share
// endpoints, the two application keys, the Renren account number and the
// link-forwarding service come from section "Hosts" of config.ini; a site
// whose endpoint is empty shares nothing.

// Sites, in the order of the share menus; the value is the operations' index.
enum ShareSite : int {
  kShareQzone = 0,
  kShareSina = 1,
  kShareQQWeibo = 2,
  kShareRenren = 3,
  kShareKaixin = 4,
  kShareDouban = 5,
  kShareSohu = 6,
  kShareBaidu = 7,
  kShareNetease = 8,
  kShareSiteCount = 9
};

// The string ids of a site's two menu commands ("分享到..." for a product,
// the bare site name for the program); 0 for an index out of range.
unsigned ShareProductCommand(int site);
unsigned ShareProgramCommand(int site);

// What a share page is given; texts in the local code page.
struct ShareValues {
  std::string link;
  std::string name;
  std::string picture;
  std::string sentence;
  std::string siteName;
};

// The sentence with "$APPNAME" replaced by the application title, or for
// Renren by the title and the program's Renren account in parentheses.
std::string ShareSentence(int site, const std::string& sentenceWithAppName);

// The values for sharing a task (`link` is the link to open for it) and for
// sharing the program.
ShareValues ProductShareValues(int site, const CTask& task, const std::string& link);
ShareValues ProgramShareValues(int site);

// The share page's address for the values: the site's endpoint followed by
// the site's query. Empty when the index is out of range or the site's
// endpoint is empty. `program` selects the program share's order of values
// where a site has one of its own.
std::string ShareUrl(int site, const ShareValues& values, bool program);

// The share page's address for a task: the task's link rewritten as any
// product link the program opens (`store` lets the rewriting keep a
// commission link it looked up). Empty while the task's first fetch runs.
std::string ShareProductUrl(int site, const CTask& task, const ShopLinkTaskStore& store = {});
std::string ShareProgramUrl(int site);

// Builds the address and, when it is not empty, opens it in the user's
// browser (OpenLink); returns it.
std::string ShareProduct(int site, const CTask& task, const ShopLinkTaskStore& store = {});
std::string ShareProgram(int site);
