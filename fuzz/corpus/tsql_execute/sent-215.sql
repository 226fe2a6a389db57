
                      
CREATE SCHEMA ABC_9
