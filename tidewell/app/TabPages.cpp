#include "tidewell/app/TabPages.h"

#include "tidewell/addons/AddonsPage.h"
#include "tidewell/app/ProductsPage.h"
#include "tidewell/backup/BackupPage.h"
#include "tidewell/bho/BhoPage.h"
#include "tidewell/spyware/SpywarePage.h"
#include "tidewell/startup/StartupPage.h"

namespace tidewell {

std::vector<std::unique_ptr<IPage>> MakeTabPages(IMainWindow& main) {
  std::vector<std::unique_ptr<IPage>> pages;
  pages.push_back(std::make_unique<BhoPage>(main));
  pages.push_back(std::make_unique<SpywarePage>(main));
  pages.push_back(std::make_unique<BackupPage>(main));
  pages.push_back(std::make_unique<StartupPage>(main));
  pages.push_back(std::make_unique<CProductsPage>(main));
  pages.push_back(std::make_unique<AddonsPage>(main));
  return pages;
}

}  // namespace tidewell
