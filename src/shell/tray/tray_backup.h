#pragma once
// The tray outlives the run through the backup album "PLB_Tray_Backup" below the WORK6 root,
// which is written with the other albums; the tray album itself never is.
namespace plb {
class TAlbum;
class TAlbumList;
}  // namespace plb

namespace plb::shell {

// Empties the backup album (made when missing) and copies into it the tray's entries of the
// photo, RAW, movie and sound kinds with their group and order numbers.
void SaveTrayBackup(TAlbumList& albums, TAlbum& tray);
// Puts the backup album's items (when there is one) into the tray with the same group and order
// numbers; answers how many.
int RestoreTrayBackup(TAlbumList& albums, TAlbum& tray);

}  // namespace plb::shell
