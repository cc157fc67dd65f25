# Warnings are errors-in-waiting: every target of ours compiles clean with these.
add_compile_options(-Wall -Wextra)

if(HRZ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
