# Writes OUT: a C++ file defining `std::string_view NAME` in namespace zev::suite::embedded
# with the contents of IN. Run with cmake -P.
file(READ "${IN}" content)
file(WRITE "${OUT}" "#include <string_view>\nnamespace zev::suite::embedded {\nextern const std::string_view ${NAME};\nconst std::string_view ${NAME} = R\"zevtext(${content})zevtext\";\n}\n")
