#pragma once

#include <map>
#include <string>

// Commission links, one template per shop key ("taobao", "jd", "yhd") from
// the server's configuration. A template holds "{url}" where the product
// link goes, percent-encoded; without it the encoded link is appended. The
// reply is "false" when the key has no template or the link is unusable.
std::string CommissionReply(const std::map<std::string, std::string>& templates,
                            const std::string& key, const std::string& link);
