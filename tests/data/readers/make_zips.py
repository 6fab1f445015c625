# Makes the zip archives of the network reader's test from a STRING links
# file (argv[1]) stored under its name (argv[2]).
import zipfile, sys
z = zipfile.ZipFile('links.zip', 'w', zipfile.ZIP_DEFLATED)
z.writestr('string/', '')
z.write(sys.argv[1], 'string/' + sys.argv[2])
z.writestr('__MACOSX/string/._' + sys.argv[2], 'fork')
z.close()
z = zipfile.ZipFile('stored.zip', 'w', zipfile.ZIP_STORED)
z.write(sys.argv[1], 'links.txt')
z.close()
z = zipfile.ZipFile('two.zip', 'w')
z.writestr('a.txt', 'x')
z.writestr('b.txt', 'y')
z.close()
zipfile.ZipFile('empty.zip', 'w').close()
data = open('links.zip', 'rb').read()
open('cut.zip', 'wb').write(data[:len(data) // 2])
