#include "export/qt/CMusicBrainzLookup.h"

#include <QEventLoop>

namespace sondrel {

LookupStatus CMusicBrainzLookup::FindReleases(const std::string& artist, const std::string& album,
                                              std::vector<ReleaseMatch>& matches) {
    QEventLoop loop;
    LookupStatus result = LookupStatus::Offline;
    m_client.FindReleases(QString::fromStdString(artist), QString::fromStdString(album),
                          [&](LookupStatus status, std::vector<ReleaseMatch> found) {
                              result = status;
                              matches = std::move(found);
                              loop.quit();
                          });
    loop.exec();
    return result;
}

LookupStatus CMusicBrainzLookup::LoadRelease(const std::string& id,
                                             std::vector<ReleaseTrack>& tracks) {
    QEventLoop loop;
    LookupStatus result = LookupStatus::Offline;
    m_client.LoadRelease(QString::fromStdString(id),
                         [&](LookupStatus status, std::vector<ReleaseTrack> found) {
                             result = status;
                             tracks = std::move(found);
                             loop.quit();
                         });
    loop.exec();
    return result;
}

}  // namespace sondrel
