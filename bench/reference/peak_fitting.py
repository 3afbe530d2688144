#!/usr/bin/env python3
# Reference of peak fitting. Usage: peak_fitting.py IN.wav OUT.wav COUNT SIZE.
import numpy as np, struct, sys
def readwav(p):
    b=open(p,'rb').read(); ch=struct.unpack('<H',b[22:24])[0]
    i=b.find(b'data'); n=struct.unpack('<I',b[i+4:i+8])[0]
    return np.frombuffer(b[i+8:i+8+n],dtype='<i2').astype(np.int64)*256,ch
v,ch=readwav(sys.argv[1]); Npk=int(sys.argv[3]); B=int(sys.argv[4])
V=len(v); nb=V//B
peaks=[np.abs(v[b*B:min(b*B+B,V)]).max() if b*B<V else 0 for b in range(nb+1)]
pk=list(peaks); T=0
for _ in range(Npk):
    best=0; bi=-1
    for j,p in enumerate(pk):
        if p>best: best=p; bi=j
    T=best
    if bi>=0: pk[bi]=-1
w=v.astype(np.float64).copy()
if T>0:
    for a in range(nb+1):
        for j in range(B):
            c=a*B+j
            if c>=V: break
            if abs(w[c])>T:
                P=abs(w[c]); lo=max(c-B,0); hi=min(c+B,V-1)
                idx=np.arange(lo,hi+1); i=idx-c
                g=1-(np.cos(i*np.pi/B)+1)/2*(1-T/P)
                w[lo:hi+1]=np.rint(w[lo:hi+1]*g)
res=np.clip(np.trunc(w/256),-32768,32767).astype(np.int64)
o,_=readwav(sys.argv[2]); o=o//256; d=np.abs(res-o)
print("max diff",d.max(),"frac",(d>0).mean(),"T",T/256)
