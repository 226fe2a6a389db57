
                      
CREATE SCHEMA ABC_1
