#pragma once
// What an installation of each release looks like on a machine: the
// registry keys that name the installation folders and the values read
// there, the paths inside a folder, and the credentials of the practice
// database. The utility looks for exactly this and the sample machines are
// built from it, so the two cannot drift apart.
//
// Keys lie below HKEY_LOCAL_MACHINE; their values are strings. Paths inside
// an installation are relative, the same for both releases, and are joined
// to the folder with "/"; a folder's path names no trailing "/".
namespace calmora {

// The V3.1 key holds both values, the 2014 key only the location.
inline constexpr char kKeyV31[] = "Software\\Brindlecote\\Calmora V3";
inline constexpr char kKey2014[] = "Software\\Brindlecote\\Calmora 2014";
inline constexpr char kLocation[] = "Location";  // the installation folder
inline constexpr char kVersion[] = "Version";
// The version a convertible V3.1 installation records.
inline constexpr char kConvertibleVersion[] = "3.1.0.0";

inline constexpr char kDatabasePath[] = "Database/calmora.mdb";
// The document folders a conversion copies.
inline constexpr char kPicturesFolder[] = "SOAPPics";
inline constexpr char kClientDocumentsFolder[] = "ClientDocs";
inline constexpr char kRelatedResourcesFolder[] = "RelatedResources";
inline constexpr char kBatchExportsFolder[] = "CMS Batch Exports";
// 2014 only: started once the conversion is done.
inline constexpr char kUpdaterPath[] = "CalmoraUpdate/CalmoraDBUpdate.exe";

// Both releases open the practice database with these.
inline constexpr char kDatabaseUser[] = "Admin";
inline constexpr char kDatabasePassword[] = "wpqzrv274";

}  // namespace calmora
