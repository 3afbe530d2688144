#!/usr/bin/env python3
# Reference of linked normalizing. Usage: normalize.py IN.wav OUT.wav LEVEL_DB.
import numpy as np, struct, sys
def readwav(p):
    b=open(p,'rb').read(); ch=struct.unpack('<H',b[22:24])[0]
    i=b.find(b'data'); n=struct.unpack('<I',b[i+4:i+8])[0]
    return np.frombuffer(b[i+8:i+8+n],dtype='<i2').astype(np.int64).reshape(-1,ch)*256,ch
d,ch=readwav(sys.argv[1]); L=float(sys.argv[3])
g=[np.float32(10**(L/20)*8388607/np.abs(d[:,c]).max()) for c in range(ch)]
G=min(g); res=np.clip(np.trunc(np.rint(d*np.float64(G))/256),-32768,32767)
o,_=readwav(sys.argv[2]); print("max diff",np.abs(res-o//256).max())
