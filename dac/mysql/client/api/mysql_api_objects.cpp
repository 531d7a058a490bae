#include "dac/mysql/client/api/mysql_api_objects.h"

#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"

namespace dac {

TMySQLAPI& MySQLAPIFor(bool embedded, bool direct) {
  if (embedded) return MyAPIEmbedded();
  if (direct) return MyAPIDirect();
  return MyAPIClient();
}

void MakeMySQLAPIs() {
  MyAPIDirect();
  MyAPIClient();
  MyAPIEmbedded();
}

}  // namespace dac
