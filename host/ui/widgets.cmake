# The data-bound widgets of hrz_ui: trees, grids and record forms over the database client.
target_sources(hrz_ui PRIVATE
  src/outline_script.cpp
  src/xbomtree.cpp
  src/xfindgrid.cpp
  src/xgrid.cpp
  src/xgrid_model.cpp
  src/xnewcode.cpp
  src/xrecobj_form.cpp
  src/xrecobjctrl.cpp
  src/xshowrecobjctrl.cpp
  src/xtree.cpp
  src/xtree_model.cpp
)
target_link_libraries(hrz_ui PUBLIC hrz_db_headers hrz_config)
if(TARGET hrz_db)
  target_link_libraries(hrz_ui PUBLIC hrz_db)
endif()
