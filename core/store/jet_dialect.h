#pragma once
// Rewrites the two pieces of Jet syntax that the program's statements use and
// SQLite lacks. Text between single quotes is never touched.
//  - a&b&c (text join; a NULL operand joins as "", all NULL gives NULL)
//  - a bare column as the whole condition ("where col order by ..."), which
//    keeps the rows whose column is not NULL.
#include <string>

namespace store {

std::string TranslateJet(const std::string& statement);

}  // namespace store
