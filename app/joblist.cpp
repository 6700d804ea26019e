#include "app/joblist.h"

#include <algorithm>

#include "app/favourites.h"
#include "app/paths.h"

TJobListView UpdateListBox(const TJobList& jobs) {
    TJobListView v;
    v.Items.reserve(jobs.Elements().size());
    for (const std::string& e : jobs) v.Items.push_back(FileNamePart(e));
    v.DelBtnEnabled = !jobs.Empty();
    v.ItemIndex = jobs.Empty() ? -1 : 0;
    return v;
}

void DeleteSelected(TJobList& jobs, std::vector<int32_t> selected) {
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) jobs.Delete(*it);
}

void AddFiles(TJobList& jobs, TPrefFolders& prefs, const std::string& folder,
              const std::vector<std::string>& names) {
    const std::string dir = folder.empty() ? std::string("/") : WithTrailingSlash(folder);
    for (const std::string& name : names) {
        prefs.AddToPrefFolders(dir);
        jobs.Add(dir + name);
    }
}
