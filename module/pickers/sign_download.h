// Fetching a user's stored signature file into the temporary folder, for viewing: the server
// names the file only to a session that may read it (request 65,7,1), then sends its content.
#pragma once

#include <cstddef>

struct tagXCliDB;

namespace hrz {

// The capacity of FetchUserSignFile's path buffer.
constexpr std::size_t kSignPathCapacity = 260;

// Fetches the signature of column ("CBMPSG" or "CDWGSG") of the user nid into the temporary
// folder, as "BMPSG_<nid>.bmp" or "DWGSG_<nid>.dwg", or, for a stored package (".xzp"), as
// the file the package holds. 1 with the local path in localPath, 0 otherwise. The program
// stays registered with the encryption driver while the file arrives.
int FetchUserSignFile(const char* column, char* localPath, int nid);

// Asks the server for the stored file of table.column of the record nid and puts it at
// localPath: 1 when the file arrived, 0 otherwise.
int DownloadUserFile(tagXCliDB* db, const char* table, const char* column, int nid,
                     const char* localPath);

}  // namespace hrz
