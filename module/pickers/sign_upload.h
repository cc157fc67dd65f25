// Storing the signed-in user's signature files on the server: the bitmap signature
// ("CBMPSG") and the drawing signature ("CDWGSG"). The server names the file and records
// the name in the column; the module only clears the column when the kind of file changes.
#pragma once

#include <string_view>

namespace hrz {

// The text after the last "." of the last path component ("\" or "/" end a component);
// empty when that component has no ".".
std::string_view PathExtension(std::string_view path);

// Stores the file at localPath as the signed-in user's signature of column: 1 when stored,
// 0 otherwise. A stored file of another extension is forgotten first.
int StoreUserSignFile(const char* column, const char* localPath);

// Asks the server for the file name of the upload (request 65,7,2) and puts the file there:
// 1 when the file was transferred, 0 otherwise.
int UploadUserFile(const char* column, const char* localPath, int nid);

}  // namespace hrz
