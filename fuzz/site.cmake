tb_fuzz(site SOURCES site_fuzz.cpp LIBS tb_site)
