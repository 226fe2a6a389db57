
                    
CREATE SCHEMA XYZ
