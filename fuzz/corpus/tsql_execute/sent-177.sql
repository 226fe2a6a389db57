
                      
CREATE SCHEMA DEF_2
