function data = load_data(fileName)
% LOAD_DATA  Reads a column of numbers from a text file.
validate_input(fileName);
fid = fopen(fileName, 'r');
data = textscan(fid, '%f');
fclose(fid);
