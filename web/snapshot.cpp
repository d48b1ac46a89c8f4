// The instances' views for the dashboard (see snapshot.h).
#include "web/snapshot.h"

#include "control/program.h"
#include "scanner/clipwatch.h"

#include <algorithm>

namespace web
{

namespace
{

int count(const CQZClipwatch* instance, dbCwsCount kind)
{
    return std::max(0, instance->counts[kind].load());
}

// The numbers of the getscanstatus reply, under its element names and in its order.
std::vector<std::pair<const char*, int>> scanStatusFigures(CQZClipwatch* i)
{
    return {
        {"totalDirectories", count(i, CWS_COUNT_DIRECTORIES)},
        {"directoryErrors", count(i, CWS_COUNT_DIRECTORY_ERRORS)},
        {"directoriesComplete", count(i, CWS_COUNT_SEARCHED)},
        {"totalFilesFound", count(i, CWS_COUNT_FILES)},
        {"totalClips", count(i, CWS_COUNT_FILES)},
        {"clipsCompleted", count(i, CWS_COUNT_COMPLETED)},
        {"erroredClips", count(i, CWS_COUNT_ERRORS)},
        {"processesWaiting", i->checkThread.jobList.size()},
        {"processes", static_cast<int>(i->translationsInProgress)},
        {"processesMD5", static_cast<int>(i->md5sInProgress)},
    };
}

} // namespace

std::vector<InstanceView> takeSnapshot(Program& program)
{
    std::vector<InstanceView> views;
    for (CQZClipwatch* instance : program.instances) {
        const CWSSettings s = instance->Settings();
        InstanceView view;
        view.number = instance->Number();
        view.scanFolder = s.Dir;
        view.database = s.DataBase;
        view.state = instance->state;
        view.stateName = CQZClipwatch::StateName(view.state);
        view.operation = instance->StatusText();
        view.figures = scanStatusFigures(instance);
        view.jobsInFlight =
            static_cast<int>(instance->translationsInProgress + instance->md5sInProgress);
        view.serviceAvailable = instance->serviceAvailable != 0;
        view.progress = instance->Progress();
        view.db = instance->Database();
        views.push_back(std::move(view));
    }
    return views;
}

int figure(const InstanceView& view, const std::string& name)
{
    for (const auto& [figureName, value] : view.figures)
        if (name == figureName)
            return value;
    return 0;
}

} // namespace web
