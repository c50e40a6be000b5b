# Warnings for every target of the project; errors in CI builds (VANTREL_WERROR).
add_compile_options(-Wall -Wextra)
if(VANTREL_WERROR)
  add_compile_options(-Werror)
endif()
